#include "Unit7.h"

#include "Controls.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Messages.h"
#include "TagFailure.h"
#include "TagFields.h"
#include "WalkReport.h"
#include "tagtext.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <string_view>

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

// What the bytes 0x80 to 0x9F stand for in Windows-1252; the five it leaves undefined stand for
// themselves, as Windows reads them.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(std::string_view bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        text += QChar(c >= 0x80 && c < 0xA0 ? Windows1252High[c - 0x80] : char16_t(c));
    }
    return text;
}

// The bytes fromWindows1252 read the text from.
std::string toWindows1252(const QString& text)
{
    std::string bytes;
    for (const QChar c : text) {
        const auto* high = std::find(std::begin(Windows1252High), std::end(Windows1252High), c.unicode());
        bytes +=
            high != std::end(Windows1252High) ? char(0x80 + (high - std::begin(Windows1252High))) : char(c.unicode());
    }
    return bytes;
}

std::string utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Whether an ID3v1 text is what a tagger writes into a field `width` bytes wide from the ID3v2
// text: its first characters, the trailing blanks dropped as the reader drops them, and "?" for a
// character the block could not hold.
bool isId3v1Cut(const QString& v1, const QString& v2, int width)
{
    QList<uint> cut = v2.toUcs4().mid(0, width);
    while (!cut.isEmpty() && (cut.back() == ' ' || cut.back() == 0 || cut.back() == 0xFF)) cut.pop_back();
    const QList<uint> text = v1.toUcs4();
    if (text.size() != cut.size()) return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != cut[i] && !(text[i] == '?' && cut[i] > 0xFF)) return false;
    return true;
}

// Whether a "TCON" text names the ID3v1 genre: by its name, by its number, or as "(17)Rock".
bool sameGenre(const QString& v2, int number, const QString& name)
{
    const QString text = v2.trimmed();
    const QString reference = QStringLiteral("(%1)").arg(number);
    const QString rest = text.startsWith(reference) ? text.mid(reference.size()) : text;
    return rest.compare(name, Qt::CaseInsensitive) == 0 || text == QString::number(number) ||
           (rest.isEmpty() && text == reference);
}

// The number a "TRCK" text starts with ("4/12": 4); -1 when none.
int trackNumber(const QString& track)
{
    bool ok = false;
    const int number = track.section(QLatin1Char('/'), 0, 0).trimmed().toInt(&ok);
    return ok ? number : -1;
}

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
    id3title = new QLineEdit(this);
    id3artist = new QLineEdit(this);
    id3album = new QLineEdit(this);
    id3year = new QLineEdit(this);
    id3comment = new QLineEdit(this);
    id3track = new QLineEdit(this);
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
    // The files the walk could not read had no import: the closing message says which.
    QString done = stopped ? QStringLiteral("Annulé") : QStringLiteral("Importation Terminée");
    if (const QString missed = ui::walkFailures(ScruteDossier1); !missed.isEmpty())
        done += QStringLiteral("\r\n\r\n") + missed;
    report.show(this, QStringLiteral("Sonoverne"), done, tagsNotSavedIntro(), fieldsKeptIntro());
    if (!stopped) Close();
}

TTagStatus Tform7::LoadId3v1Fields(const std::string& path)
{
    for (QLineEdit* field : {id3title, id3artist, id3album, id3year, id3comment, id3track}) field->clear();
    ID3genre->setCurrentIndex(0);
    const TTagStatus status = Tag1.ReadFromFile(path);
    if (!tagOk(status)) return status;
    id3title->setText(fromWindows1252(tagText(Tag1.Title)));
    id3artist->setText(fromWindows1252(tagText(Tag1.Artist)));
    id3album->setText(fromWindows1252(tagText(Tag1.Album)));
    id3year->setText(fromWindows1252(tagText(Tag1.Year)));
    id3comment->setText(fromWindows1252(tagText(Tag1.Comment)));
    ID3genre->setCurrentIndex(GenreToIndex(Tag1.Genre));
    if (Tag1.HasTrack) id3track->setText(QString::number(Tag1.Track));
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
    // A frame the library could not read is kept as it is: what the ID3v1 field says cannot be
    // weighed against it. The closing message names what was kept.
    QStringList kept;
    bool changed = false;
    const auto differs = [&](const char* frame, const TagField& v2, const std::function<bool(const QString&)>& agrees) {
        if (!v2.whole) {
            kept << (frame ? tagFieldName(frame) : commentFieldName());
            return false;
        }
        return !agrees(QString::fromUtf8(v2.text.data(), qsizetype(v2.text.size())));
    };
    const struct {
        const char* frame;
        QString text;
        int width;
    } texts[] = {
        {"TIT2", id3title->text(), 30},
        {"TPE1", id3artist->text(), 30},
        {"TALB", id3album->text(), 30},
        {"TYER", id3year->text(), 4},
    };
    for (const auto& [frame, text, width] : texts) {
        if (text.isEmpty()) continue;
        const auto cut = [&, &text = text, width = width](const QString& v2) { return isId3v1Cut(text, v2, width); };
        if (!differs(frame, readTagFieldUtf8(Tag2, frame), cut)) continue;
        changed = true;
        // A control character (a tab) is no text for SetTextFrameUtf8: the bytes as they stand.
        if (std::string_view(frame) == "TYER" ||
            writeTagFieldUtf8(Tag2, frame, utf8(text)) == frameresult::InvalidCharacter)
            writeTagField(Tag2, frame, toWindows1252(text));
    }
    const QString genre = ID3genre->currentText();
    if (!genre.isEmpty() && differs("TCON", readTagFieldUtf8(Tag2, "TCON"),
                                    [&](const QString& v2) { return sameGenre(v2, Tag1.Genre, genre); })) {
        changed = true;
        writeTagField(Tag2, "TCON", genre.toStdString());
    }
    const QString track = id3track->text();
    if (!track.isEmpty() && differs("TRCK", readTagFieldUtf8(Tag2, "TRCK"),
                                    [&](const QString& v2) { return trackNumber(v2) == track.toInt(); })) {
        changed = true;
        writeTagField(Tag2, "TRCK", track.toStdString());
    }
    // mutagen writes 28 characters of comment even without a track.
    const QString comment = id3comment->text();
    if (!comment.isEmpty() && differs(nullptr, readTagCommentUtf8(Tag2), [&](const QString& v2) {
            return isId3v1Cut(comment, v2, 28) || isId3v1Cut(comment, v2, 30);
        })) {
        changed = true;
        writeTagComment(Tag2, utf8(comment));
    }
    // Nothing to change: the file is left as it is.
    const TTagStatus saved = changed ? Tag2.SaveToFile("=", 255, 255, -1) : TTagStatus(0);
    if (!tagOk(saved)) report.add(path, tagFailureReason(saved));
    else if (!kept.isEmpty()) report.addNote(path, kept.join(QStringLiteral(", ")));
}
