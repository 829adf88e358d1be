#include "Unit7.h"

#include "Controls.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Messages.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

Tform7* Form7 = nullptr;

namespace {

// The genre list's items after its empty first one, in the order GenreToIndex counts.
const char* const GenreListNames[] = {
    "A Cappella",
    "Acid",
    "Acid Jazz",
    "Acid Punk",
    "Acoustic",
    "Alt. Rock",
    "Alternative",
    "Ambient",
    "Anime",
    "Avantgarde",
    "Ballad",
    "Bass",
    "Beat",
    "Bebob",
    "Big Band",
    "Black Metal",
    "Bluegrass",
    "Blues",
    "Booty Bass",
    "BritPop",
    "Cabaret",
    "Celtic",
    "Chamber Music",
    "Chanson",
    "Chorus",
    "Christian Gangsta",
    "Christian Rap",
    "Christian Rock",
    "Classic Rock",
    "Classical",
    "Club",
    "Club-House",
    "Comedy",
    "Contemporary Christian",
    "Country",
    "Crossover",
    "Cult",
    "Dance",
    "Dance Hall",
    "Darkwave",
    "Death Metal",
    "Disco",
    "Dream",
    "Drum & Base",
    "Drum Solo",
    "Duet",
    "Easy Listening",
    "Electronic",
    "Ethnic",
    "Eurodance",
    "Euro-House",
    "Euro-Techno",
    "Fast-Fusion",
    "Folk",
    "Folk/Rock",
    "Folklore",
    "Freestyle",
    "Funk",
    "Fusion",
    "Game",
    "Gangsta Rap",
    "Goa",
    "Gospel",
    "Gothic",
    "Gothic Rock",
    "Grunge",
    "Hard Rock",
    "Hardcore",
    "Heavy Metal",
    "Hip-Hop",
    "House",
    "Humour",
    "Indie",
    "Industrial",
    "Instrumental",
    "Instrumental Pop",
    "Instrumental Rock",
    "Jazz",
    "Jazz+Funk",
    "JPop",
    "Jungle",
    "Latin",
    "Lo-Fi",
    "Meditative",
    "Merengue",
    "Metal",
    "Musical",
    "National Folk",
    "Native American",
    "Negerpunk",
    "New Age",
    "New Wave",
    "Noise",
    "Oldies",
    "Opera",
    "Other",
    "Polka",
    "Polsk Punk",
    "Pop",
    "Pop/Funk",
    "Pop-Folk",
    "Porn Groove",
    "Power Ballad",
    "Pranks",
    "Primus",
    "Progressive Rock",
    "Psychedelic",
    "Psychedelic Rock",
    "Punk",
    "Punk Rock",
    "R&B",
    "Rap",
    "Rave",
    "Reggae",
    "Retro",
    "Revival",
    "Rhythmic Soul",
    "Rock",
    "Rock & Roll",
    "Salsa",
    "Samba",
    "Satire",
    "Showtunes",
    "Ska",
    "Slow Jam",
    "Slow Rock",
    "Sonata",
    "Soul",
    "Sound Clip",
    "Soundtrack",
    "Southern Rock",
    "Space",
    "Speech",
    "Swing",
    "Symphonic Rock",
    "Symphony",
    "Synthpop",
    "Tango",
    "Techno",
    "Techno-Industrial",
    "Terror",
    "Thrash Metal",
    "Top 40",
    "Trailer",
    "Trance",
    "Tribal",
    "Trip-Hop",
    "Vocal",
};
static_assert(std::size(GenreListNames) == 148);

// A file without a single byte: it has no ID3v1 tag, but unlike a file without one it is no MP3.
bool emptyFile(const std::string& path)
{
    std::int64_t size = -1;
    std::int32_t time = 0;
    return platform::fileSizeAndTime(path, size, time) && size == 0;
}

}  // namespace

Tform7::Tform7()
{
    setCaption(QStringLiteral("Importation ID3V1 vers ID3V2"));
    Tag2.HoldFileForSave = true;  // each file is saved as soon as it is loaded
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label1 = ui::noteLabel(
        this,
        QStringLiteral(
            "Choisissez le dossier contenant les fichiers à prendre en compte, puis choisissez si le programme doit explorer les sous-dossiers, et enfin cliquez sur Importer"));
    layout->addWidget(Label1);
    DriveComboBox1 = new ui::DriveComboBox(this);
    DirectoryListBox1 = new ui::DirectoryListBox(this);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);
    CheckBox1 = new QCheckBox(QStringLiteral("Explorer les sous-dossiers"), this);
    layout->addWidget(CheckBox1);
    ProgressBar1 = new ui::ProgressBar(this);
    layout->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout;
    Button2 = new QPushButton(QStringLiteral("Importer"), this);
    Button3 = new QPushButton(QStringLiteral("STOP"), this);
    Button1 = new QPushButton(QStringLiteral("Annuler"), this);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);

    // What carries one file's values from its ID3v1 tag to its ID3v2 tag: never shown.
    ListBox1 = new ui::ListBox(this);
    id3title = new ui::TagEdit(this);
    id3artist = new ui::TagEdit(this);
    id3album = new ui::TagEdit(this);
    id3year = new ui::TagEdit(this);
    id3comment = new ui::TagEdit(this);
    id3track = new ui::TagEdit(this);
    ID3genre = new QComboBox(this);
    ID3genre->addItem(QString());
    for (const char* name : GenreListNames) ID3genre->addItem(QString::fromLatin1(name));
    for (QWidget* hidden : std::initializer_list<QWidget*>{ListBox1, id3title, id3artist, id3album, id3year, id3comment,
                                                           id3track, ID3genre})
        hidden->hide();
    resize(440, 420);
    centreOnScreen();

    ScruteDossier1.Filtre = "*.mp3";
    ScruteDossier1.MaxPenetration = 10000000;
    ScruteDossier1.OnFichier = [this](TScruteDossier* sender, const std::string& name) {
        ScruteDossier1Fichier(sender, name);
    };
    ScruteDossier1.OnFinExecute = [this](TScruteDossier* sender) { ScruteDossier1FinExecute(sender); };

    OnShow = [this] { FormShow(); };
    DriveComboBox1->OnChange = [this] { DriveComboBox1Change(); };
    ui::on(Button2, &QPushButton::clicked, this, &Tform7::Button2Click);
    ui::on(Button3, &QPushButton::clicked, this, &Tform7::Button3Click);
    ui::on(Button1, &QPushButton::clicked, this, &Tform7::Button1Click);
}

void Tform7::FormShow()
{
    DirectoryListBox1->setDirectory(Mp3Folder);
    DriveComboBox1->setDrive(DirectoryListBox1->Drive());
}

// As on the other tool windows, another drive moves the folder box.
void Tform7::DriveComboBox1Change() { DirectoryListBox1->setDrive(DriveComboBox1->Drive()); }

void Tform7::Button2Click()
{
    // One import at a time: the walk and the loop let clicks through.
    if (running_) return;
    running_ = true;
    closeWhenDone_ = false;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{running_};
    // A STOP pressed while nothing ran does not cancel this import.
    ImportStopFlag = false;
    // Each import works on the files of its own walk only: processing an earlier walk's files
    // again would undo every ID3v2 change made to them since.
    ListBox1->Clear();
    ScruteDossier1.Dossier = DirectoryListBox1->Directory();
    ScruteDossier1.SousDossier = CheckBox1->isChecked();
    ScruteDossier1.Execute();
    // "Annuler" pressed during the run closes the window once the import has finished.
    if (closeWhenDone_) Close();
}

void Tform7::Button3Click() { ImportStopFlag = true; }

void Tform7::Button1Click()
{
    ScruteDossier1.Stop = true;
    // The import loop goes on to its end: the window stays until then.
    if (running_) closeWhenDone_ = true;
    else Close();
}

void Tform7::ScruteDossier1Fichier(TScruteDossier*, const std::string& Nom) { ListBox1->Add(Nom); }

void Tform7::ScruteDossier1FinExecute(TScruteDossier*)
{
    const int count = ListBox1->Count();
    if (count > 0) {
        ProgressBar1->setMin(0);
        ProgressBar1->setMax(count - 1);
    }
    ui::RunReport report;
    for (int i = 0; i < ListBox1->Count(); ++i) {
        platform::processMessages();
        if (ImportStopFlag) break;
        ProgressBar1->setPosition(i);
        ListBox1->setCurrentRow(i);
        const std::string path = ListBox1->Item(i);
        // A file without an ID3v1 tag has nothing to import: writing its empty fields would
        // erase its ID3v2 texts.
        const TTagStatus read = LoadId3v1Fields(path);
        if (tagOk(read)) SaveId3v2Fields(path, report);
        else if (!noTag(read)) report.add(path, tagFailureReason(read));
        else if (emptyFile(path)) report.add(path, emptyFileReason());
    }
    const bool stopped = ImportStopFlag;
    ImportStopFlag = false;
    report.show(this, QStringLiteral("Sonoverne"),
                stopped ? QStringLiteral("Annulé") : QStringLiteral("Importation Terminée"), tagsNotSavedIntro(),
                fieldsKeptIntro());
    if (!stopped) Close();
}

TTagStatus Tform7::LoadId3v1Fields(const std::string& path)
{
    for (ui::TagEdit* field : {id3title, id3artist, id3album, id3year, id3comment, id3track})
        field->setText(std::string());
    ID3genre->setCurrentIndex(0);
    const TTagStatus status = Tag1.ReadFromFile(path);
    if (!tagOk(status)) return status;
    id3title->setText(Tag1.Title);
    id3artist->setText(Tag1.Artist);
    id3album->setText(Tag1.Album);
    id3year->setText(Tag1.Year);
    id3comment->setText(Tag1.Comment);
    ID3genre->setCurrentIndex(GenreToIndex(Tag1.Genre));
    id3track->setText(std::to_string(Tag1.Track));
    return status;
}

void Tform7::SaveId3v2Fields(const std::string& path, ui::RunReport& report)
{
    // A file without an ID3v2 tag receives one; a tag that cannot be read is not replaced.
    const TTagStatus loaded = Tag2.LoadFromFile(path, 0);
    if (!mayChangeTag(loaded)) {
        report.add(path, tagFailureReason(loaded));
        return;
    }
    const QByteArray genre = ID3genre->currentText().toLatin1();
    const struct {
        const char* frame;
        std::string text;
    } texts[] = {
        {"TIT2", id3title->Text()},
        {"TPE1", id3artist->Text()},
        {"TALB", id3album->Text()},
        {"TYER", id3year->Text()},
        {"TCON", std::string(genre.constData(), size_t(genre.size()))},
        {"TRCK", id3track->Text()},
    };
    // A frame the library could not read whole is kept as it is: the ID3v1 text is no more than
    // a shortened copy of it. The closing message names what was kept.
    QStringList kept;
    for (const auto& [frame, text] : texts) {
        if (readTagField(Tag2, frame).whole) writeTagField(Tag2, frame, text);
        else kept << tagFieldName(frame);
    }
    if (readTagComment(Tag2).whole) {
        TCommentFrame comment;
        comment.Encoding = 0;
        comment.Language = "ENG";
        comment.Description.clear();
        comment.Text = id3comment->Text();
        Tag2.SetComment(comment, "", "None");
    } else {
        kept << commentFieldName();
    }
    const TTagStatus saved = Tag2.SaveToFile("=", 255, 255, -1);
    if (!tagOk(saved)) report.add(path, tagFailureReason(saved));
    else if (!kept.isEmpty()) report.addNote(path, kept.join(QStringLiteral(", ")));
}
