#include "Unit11.h"

#include "CDInfo.h"
#include "CdDrives.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Guard.h"
#include "Unit22.h"
#include "Unit23.h"
#include "Unit24.h"
#include "variable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <stdexcept>

TForm11* Form11 = nullptr;

namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QString tagLine(const std::string& text)
{
    QString shown = fromUtf8(text);
    ui::filterTagText(shown);
    return shown;
}

// The one place that decides what the program's input may do while the window works (a run, or
// a look-up waiting for its server). Only the stop button takes clicks. Closing the window stops
// the work: a look-up as the window hides, a run at its next chunk as the stop button does, the
// run then closing the window with its closing message. Any other click or key, in any of the
// program's windows, is refused with a beep; a box some handler shows meanwhile is answered as
// usual.
class TWorkGate : public QObject {
public:
    explicit TWorkGate(TForm11* form) : form_(form) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!form_->Working()) return false;
        switch (event->type()) {
        case QEvent::Close:
            if (watched != form_ || !form_->Running()) return false;
            form_->RipStopFlag = true;
            form_->CDRipper1->Abort();
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: {
            if (!watched->isWidgetType() || watched == form_->Button2) return false;
            if (!dynamic_cast<ui::Form*>(static_cast<QWidget*>(watched)->window())) return false;
            if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) QApplication::beep();
            return true;
        }
        default: return false;
        }
    }

private:
    TForm11* form_;
};

// Shows a modeless window above the modal one that opened it, where it takes input.
void showOver(ui::Form* form, QWidget* owner)
{
    form->winId();
    owner->winId();
    if (form->windowHandle() && owner->windowHandle()) form->windowHandle()->setTransientParent(owner->windowHandle());
    form->Show();
}

TForm11::TForm11()
{
    setCaption(QStringLiteral("Extraire les pistes d'un CD"));
    setSystemMenuOnly();

    CDDBConnect1.Port = 80;
    CDDBConnect1.UserName = "sv";
    CDDBConnect1.HostName = "sonoverne.fr";
    CDDBConnect1.ClientName = "Sonoverne";
    CDDBConnect1.ClientVersion = "1.0";

    MP3Coder1 = std::make_unique<TMP3Coder>();
    MP3Coder1->CRC = false;
    MP3Coder1->DefaultExt = ".mp3";
    try {
        CDRipper1 = std::make_unique<TCDRipper>();
        CDRipper1->SetCoder(MP3Coder1.get());
        CDRipper1->Encode = true;
        CDRipper1->WriteWav = true;
        CDRipper1->speed = 32;
        if (CDRipper1->Drives.Count() > 0) CDRipper1->SetActiveCdRomNum(0);
        CDRipper1->OnBeginTrack = [this](TCDRipper* s, uint16_t n) { cdripper1BeginTrack(s, n); };
        CDRipper1->OnProgress = [this](TCDRipper* s, uint16_t p) { cdripper1Progress(s, p); };
    } catch (const std::exception&) {
        CDRipper1.reset();  // the run reports it
    }

    Label11 = new QLabel(QStringLiteral("Choisissez le lecteur de CD-Rom à utiliser :"), this);
    CbBoxActiveCDRom = new QComboBox(this);
    CbBoxActiveCDRom->setMinimumWidth(60);
    LabelTrackCD = new QLabel(this);
    Label14 = new QLabel(this);
    Label14->hide();
    Label6 = new QLabel(QStringLiteral("Format :"), this);
    CheckBox1 = new QCheckBox(QStringLiteral("MP3"), this);
    CheckBox1->setChecked(true);
    CheckBox2 = new QCheckBox(QStringLiteral("Wave"), this);
    Label9 = new QLabel(QStringLiteral("Piste en cours"), this);
    ProgressBar1 = new ui::ProgressBar(this);
    Label12 = new QLabel(QStringLiteral("Total"), this);
    ProgressBar2 = new ui::ProgressBar(this);
    Label13 = new QLabel(this);
    Button3 = new QPushButton(QStringLiteral("Retrouver les informations avec CDDB"), this);
    Label17 = new QLabel(QStringLiteral("<= nécessite une connexion Internet active"), this);
    Button1 = new QPushButton(QStringLiteral("Extraire"), this);
    Button2 = new QPushButton(QStringLiteral("Annuler"), this);

    ListView1 = new QTreeWidget(this);
    ListView1->setHeaderLabels({QStringLiteral("Piste"), QStringLiteral("Titre")});
    ListView1->setColumnWidth(0, 60);
    ListView1->setColumnWidth(1, 450);
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setUniformRowHeights(true);
    ui::onKeyUp(ListView1, [this](int key) { ListView1KeyUp(key); });
    Label15 = new QLabel(QStringLiteral("Nom de l'album :"), this);
    Edit1 = new ui::TagEdit(this);
    Label18 = new QLabel(QStringLiteral("<="), this);
    Button4 = new QPushButton(QStringLiteral("Modifier"), this);
    Label16 = new QLabel(QStringLiteral("Artiste :"), this);
    Edit2 = new ui::TagEdit(this);
    Label19 = new QLabel(QStringLiteral("<="), this);
    Button5 = new QPushButton(QStringLiteral("Modifier"), this);
    for (ui::TagEdit* box : {Edit1, Edit2}) {
        box->setReadOnly(true);
        box->setEnabled(false);
    }

    Label5 = new QLabel(QStringLiteral("Options d'encodage des MP3 :"), this);
    LabelSampleRate = new QLabel(QStringLiteral("Sample Rate :"), this);
    ComboBox1 = ui::fixedList(this, {"44100", "32000", "22050"}, 0);
    LabelBitRate = new QLabel(QStringLiteral("BitRate :"), this);
    ComboBox2 = ui::fixedList(this, {"320", "256", "192", "160", "128", "96"}, 4);
    LabelMaxBitRate = new QLabel(QStringLiteral("Max BitRate :"), this);
    ComboBox3 = ui::fixedList(this, {"320", "256", "192", "160"}, 0);
    LabelMode = new QLabel(QStringLiteral("Mode :"), this);
    ComboBox4 = ui::fixedList(this, {"Stereo", "Joint stereo", "Dual channel", "Mono"}, 0);
    LabelQuality = new QLabel(QStringLiteral("Quality :"), this);
    ComboBox5 = ui::fixedList(this, {"Normal", "Low", "High", "Voice"}, 0);
    CheckBox3 = new QCheckBox(QStringLiteral("Copyright"), this);
    CheckBox4 = new QCheckBox(QStringLiteral("Original"), this);
    CheckBox5 = new QCheckBox(QStringLiteral("CRC"), this);
    CheckBox8 = new QCheckBox(QStringLiteral("Private"), this);
    CheckBox6 = new QCheckBox(QStringLiteral("VBR"), this);
    CheckBox7 = new QCheckBox(QStringLiteral("Ecrire le header VBR"), this);
    LabelVbrQuality = new QLabel(QStringLiteral("Qualité VBR"), this);
    TrackBar1 = ui::tickSlider(this, 0, 9, 4);
    Label7 = new QLabel(QStringLiteral("4"), this);
    // The encoder starts with what the controls show.
    MP3Coder1->SampleRate = 44100;
    MP3Coder1->Bitrate = 128;
    MP3Coder1->MaxBitrate = 320;
    MP3Coder1->SetMode(TMP3CoderMode::STEREO);
    MP3Coder1->Quality = NORMAL_QUALITY;
    MP3Coder1->VBRQuality = 4;

    // Layout: the drive, format, progress and buttons at the left, the tracks at the right.
    auto* left = new QVBoxLayout;
    left->addWidget(Label11);
    auto* drive = new QHBoxLayout;
    drive->addWidget(CbBoxActiveCDRom);
    drive->addWidget(LabelTrackCD, 1);
    left->addLayout(drive);
    auto* format = new QHBoxLayout;
    format->addWidget(Label6);
    format->addWidget(CheckBox1);
    format->addWidget(CheckBox2);
    format->addStretch(1);
    left->addLayout(format);
    left->addWidget(Label9);
    left->addWidget(ProgressBar1);
    left->addWidget(Label12);
    left->addWidget(ProgressBar2);
    left->addWidget(Label13);
    left->addSpacing(6);
    left->addWidget(Label5);
    auto* coder = new QGridLayout;
    coder->addWidget(LabelSampleRate, 0, 0);
    coder->addWidget(ComboBox1, 0, 1);
    coder->addWidget(LabelBitRate, 1, 0);
    coder->addWidget(ComboBox2, 1, 1);
    coder->addWidget(LabelMaxBitRate, 2, 0);
    coder->addWidget(ComboBox3, 2, 1);
    coder->addWidget(LabelMode, 3, 0);
    coder->addWidget(ComboBox4, 3, 1);
    coder->addWidget(LabelQuality, 4, 0);
    coder->addWidget(ComboBox5, 4, 1);
    coder->addWidget(CheckBox3, 5, 0);
    coder->addWidget(CheckBox4, 5, 1);
    coder->addWidget(CheckBox5, 6, 0);
    coder->addWidget(CheckBox8, 6, 1);
    coder->addWidget(CheckBox6, 7, 0);
    coder->addWidget(CheckBox7, 7, 1);
    coder->addWidget(LabelVbrQuality, 8, 0);
    auto* vbr = new QHBoxLayout;
    vbr->addWidget(TrackBar1, 1);
    vbr->addWidget(Label7);
    coder->addLayout(vbr, 8, 1);
    left->addLayout(coder);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    auto* cddb = new QHBoxLayout;
    cddb->addWidget(Button3);
    cddb->addWidget(Label17, 1);
    right->addLayout(cddb);
    right->addWidget(ListView1, 1);
    auto* identity = new QGridLayout;
    identity->addWidget(Label15, 0, 0);
    identity->addWidget(Edit1, 0, 1);
    identity->addWidget(Label18, 0, 2);
    identity->addWidget(Button4, 0, 3);
    identity->addWidget(Label16, 1, 0);
    identity->addWidget(Edit2, 1, 1);
    identity->addWidget(Label19, 1, 2);
    identity->addWidget(Button5, 1, 3);
    identity->setColumnStretch(1, 1);
    right->addLayout(identity);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    right->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    resize(900, 560);
    centreOnScreen();

    OnShow = [this] { FormShow(); };
    // "Annuler" or the close box stop a look-up under way: it changes nothing then.
    OnHide = [this] { CDDBConnect1.Abort(); };
    gate_ = std::make_unique<TWorkGate>(this);
    ui::on(CbBoxActiveCDRom, QOverload<int>::of(&QComboBox::activated), this, &TForm11::CbBoxActiveCDRomChange);
    ui::on(Button3, &QPushButton::clicked, this, &TForm11::Button3Click);
    ui::on(Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm11::Button2Click);
    ui::on(Button4, &QPushButton::clicked, this, &TForm11::Button4Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm11::Button5Click);
    ui::on(CheckBox1, &QCheckBox::toggled, this, &TForm11::CheckBox1Click);
    ui::on(CheckBox2, &QCheckBox::toggled, this, &TForm11::CheckBox2Click);
    ui::on(Edit1, &QLineEdit::textChanged, this, &TForm11::Edit1Change);
    ui::on(Edit2, &QLineEdit::textChanged, this, &TForm11::Edit2Change);
    ui::on(ListView1, &QTreeWidget::itemDoubleClicked, this, &TForm11::ListView1DblClick);

    auto number = [this](QComboBox* box, uint32_t TCoderSettings::*field) {
        ui::on(box, QOverload<int>::of(&QComboBox::activated), this,
               [this, box, field] { MP3Coder1.get()->*field = box->currentText().toUInt(); });
    };
    number(ComboBox1, &TCoderSettings::SampleRate);
    number(ComboBox2, &TCoderSettings::Bitrate);
    number(ComboBox3, &TCoderSettings::MaxBitrate);
    ui::on(ComboBox4, QOverload<int>::of(&QComboBox::activated), this,
           [this](int i) { MP3Coder1->SetMode(TMP3CoderMode(i)); });
    ui::on(ComboBox5, QOverload<int>::of(&QComboBox::activated), this,
           [this](int i) { MP3Coder1->Quality = MPEG_QUALITY(i); });
    auto flag = [this](QCheckBox* box, const std::function<void(bool)>& set) {
        ui::on(box, &QCheckBox::toggled, this, set);
    };
    flag(CheckBox3, [this](bool on) { MP3Coder1->Copyright = on; });
    flag(CheckBox4, [this](bool on) { MP3Coder1->Original = on; });
    flag(CheckBox5, [this](bool on) { MP3Coder1->CRC = on; });
    flag(CheckBox8, [this](bool on) { MP3Coder1->Private = on; });
    flag(CheckBox6, [this](bool on) { MP3Coder1->SetEnableVBR(on); });
    flag(CheckBox7, [this](bool on) { MP3Coder1->WriteVBRHeader = on; });
    ui::on(TrackBar1, &QSlider::valueChanged, this, [this](int v) {
        MP3Coder1->VBRQuality = v;
        Label7->setText(QString::number(v));
    });
}

TForm11::~TForm11() = default;

void TForm11::ShowDiscIdentity()
{
    // A disc that cannot be read leaves no count and no id of the one read before.
    DiscTrackCount = 0;
    LabelTrackCD->clear();
    Label14->clear();
    inDrive_ = {};
    // The ripper reads the disc whenever the window does, so that what is shown is what is
    // ripped.
    if (CDRipper1) CDRipper1->ReadToc();
    TCDInfo info;
    const QString drive = CbBoxActiveCDRom->currentText();
    info.Open(drive.isEmpty() ? '\0' : drive[0].toLatin1());
    DiscTrackCount = int(info.GetTrackCount());
    LabelTrackCD->setText(QString::number(DiscTrackCount) + QStringLiteral(" piste(s)"));
    const std::string id = info.GetDiscIdText();
    Label14->setText(QString::fromStdString(id));
    info.Destroy();
    inDrive_.DiscId = id;
    if (CDRipper1) inDrive_.Sectors = CDRipper1->TrackSectors();
}

bool TForm11::shownDiscInDrive()
{
    CDRipper1->ReadToc();
    return !shown_.DiscId.empty() && CDRipper1->TrackSectors() == shown_.Sectors;
}

bool TForm11::holdsDisc(const cdaudio::TDiscIdentity& disc)
{
    try {
        ShowDiscIdentity();
    } catch (const std::exception&) {
        return false;  // no disc, or none that can be read
    }
    return inDrive_.SameDisc(disc);
}

void TForm11::tellDiscChanged(const QString& moment)
{
    ui::Dialogs::MessageBox(this,
                            QStringLiteral("Le disque du lecteur %1 a changé %2 : rien n'a été enregistré. Choisissez "
                                           "de nouveau le lecteur pour lire le disque qui s'y trouve.")
                                .arg(CbBoxActiveCDRom->currentText(), moment),
                            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
}

bool TForm11::StillShows(const cdaudio::TDiscIdentity& disc, const QString& moment)
{
    if (shown_.SameDisc(disc) && holdsDisc(disc)) return true;
    tellDiscChanged(moment);
    return false;
}

void TForm11::AcceptCddbEntry(const cdaudio::TDiscIdentity& disc, const QString& moment)
{
    if (!holdsDisc(disc)) return tellDiscChanged(moment);
    FillTracksFromCddb(disc);
    SaveLocalCddbEntry();
}

void TForm11::ShowIdentity(const cdaudio::TDiscIdentity& identity)
{
    shown_ = identity;
    // Held as the boxes and rows show them: the run and the cache take what the user sees.
    for (std::string* text : {&shown_.Artist, &shown_.Album}) *text = tagLine(*text).toStdString();
    for (std::string& title : shown_.Titles) title = tagLine(title).toStdString();
    BuildRows();
    Edit1->QLineEdit::setText(fromUtf8(shown_.Album));
    Edit2->QLineEdit::setText(fromUtf8(shown_.Artist));
    Edit1->setEnabled(true);
    Edit2->setEnabled(true);
}

void TForm11::SetTitle(int row, const QString& title)
{
    if (row < 0 || size_t(row) >= shown_.Titles.size()) return;
    shown_.Titles[size_t(row)] = title.toStdString();
    ListView1->topLevelItem(row)->setText(1, title);
}

void TForm11::SetAlbum(const QString& album)
{
    shown_.Album = album.toStdString();
    Edit1->QLineEdit::setText(album);
}

void TForm11::SetArtist(const QString& artist)
{
    shown_.Artist = artist.toStdString();
    Edit2->QLineEdit::setText(artist);
}

void TForm11::BuildRows()
{
    ListView1->clear();
    ListView1->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(shown_.Titles.size()));
    for (size_t i = 0; i < shown_.Titles.size(); ++i)
        rows.append(new QTreeWidgetItem(QStringList{QString::number(i + 1), fromUtf8(shown_.Titles[i])}));
    ListView1->addTopLevelItems(rows);
    ListView1->setUpdatesEnabled(true);
}

void TForm11::showDefaults()
{
    cdaudio::TDiscIdentity defaults = inDrive_;
    defaults.Artist = defaults.Album = defaults.Category = "Inconnu";
    defaults.TitleCount = DiscTrackCount;
    for (int n = 1; n <= DiscTrackCount; ++n) defaults.Titles.push_back("Track" + std::to_string(n));
    ShowIdentity(defaults);
}

void TForm11::FillDefaultTracks()
{
    ShowDiscIdentity();
    showDefaults();
}

void TForm11::FillTracksFromCddb(const cdaudio::TDiscIdentity& disc)
{
    // The server's category with its entry: the cache then names the entry the titles are of.
    cdaudio::TDiscIdentity found = cdaudio::CddbEntryIdentity(CDDBConnect1.EntryText);
    found.DiscId = disc.DiscId;
    found.Sectors = disc.Sectors;
    // As many titles as the query found tracks, which is what its entry counts.
    found.TitleCount = CDDBConnect1.TrackCount;
    ShowIdentity(found);
}

void TForm11::clearIdentity()
{
    shown_ = {};
    ListView1->clear();
    for (ui::TagEdit* box : {Edit1, Edit2}) {
        box->clear();
        box->setEnabled(false);
    }
}

void TForm11::FormShow()
{
    clearIdentity();
    cacheFailureTold_ = 0;
    CbBoxActiveCDRom->clear();
    ProgressBar1->setPosition(0);
    ProgressBar2->setPosition(0);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (cdaudio::driveType(letter) == cdaudio::DriveCdRom) CbBoxActiveCDRom->addItem(QString(QChar(letter)));
    if (CbBoxActiveCDRom->count() == 0) {
        ui::Dialogs::MessageBox(this, QStringLiteral("Aucun Lecteur de CD-Rom disponible"), QStringLiteral("Sonoverne"),
                                ui::MB_OK);
        // Closed once shown: a window hidden while it is being shown would leave a modal
        // showing in a half state.
        QTimer::singleShot(0, this, [this] { Close(); });
        return;
    }
    CbBoxActiveCDRom->setCurrentIndex(0);
    // The ripper follows the box: the first drive is the one shown, so it is the one ripped.
    if (CDRipper1 && CDRipper1->ActiveCdRomNum() != 0) CDRipper1->SetActiveCdRomNum(0);
    LoadLocalCddbEntry();
}

void TForm11::CbBoxActiveCDRomChange()
{
    // The rows go and the ripper follows the box before the disc is read: a disc that cannot
    // be read leaves nothing of the one shown before, and nothing of it is ripped.
    clearIdentity();
    const int index = CbBoxActiveCDRom->currentIndex();
    if (CDRipper1 && index != CDRipper1->ActiveCdRomNum()) CDRipper1->SetActiveCdRomNum(index);
    LoadLocalCddbEntry();
}

void TForm11::Button3Click()
{
    ShowDiscIdentity();
    // The look-up is of this disc: its answer is taken only while the drive holds it.
    const cdaudio::TDiscIdentity disc = inDrive_;
    if (CddbServerIndex < 0 || CddbServerIndex >= Form24->ComboBox1->count())
        throw std::out_of_range("Index de liste hors limites (" + std::to_string(CddbServerIndex) + ")");
    CDDBConnect1.Server = Form24->ComboBox1->itemText(CddbServerIndex).toStdString();
    LabelTrackCD->clear();
    QCoreApplication::processEvents();
    const QString drive = CbBoxActiveCDRom->currentText();
    int32_t code = 0;
    const std::string reply = CDDBConnect1.Query(drive.isEmpty() ? '\0' : drive[0].toLatin1(), code);
    LabelTrackCD->setText(QString::number(CDDBConnect1.TrackCount) + QStringLiteral(" piste(s)"));
    Label14->setText(QString::fromStdString(CDDBConnect1.DiscId));
    const QString moment = QStringLiteral("pendant la recherche CDDB");
    // The query reads the disc itself: it may have asked for another one, or the disc may have
    // changed while the server answered.
    if (CDDBConnect1.DiscId != disc.DiscId || !holdsDisc(disc)) {
        tellDiscChanged(moment);
        return;
    }
    if (code == 200) {
        FillTracksFromCddb(disc);
        SaveLocalCddbEntry();
    } else if (code == 210 || code == 211) {
        Form22->ListBox1->clear();
        for (const std::string& line : cdaudio::CddbMatchList(reply)) Form22->ListBox1->addItem(fromUtf8(line));
        Form22->Disc = disc;
        showOver(Form22, this);
    } else {
        FillDefaultTracks();
        ui::Dialogs::MessageBox(this, QStringLiteral("Aucun CD éxistant n'a été trouvé"), QStringLiteral("Erreur"),
                                ui::MB_OK);
    }
}

void TForm11::openEditor(const QString& caption, int tag, const QString& text)
{
    Form23->setCaption(caption);
    Form23->Tag = tag;
    Form23->Disc = shown_;
    Form23->Edit1->QLineEdit::setText(text);
    showOver(Form23, this);
}

void TForm11::ListView1DblClick()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty()) return;
    // The first selected row in list order.
    int first = -1;
    for (QTreeWidgetItem* row : selected) {
        const int at = ListView1->indexOfTopLevelItem(row);
        if (first < 0 || at < first) first = at;
    }
    Form23->Label33->setText(QString::number(first));
    openEditor(QStringLiteral("Changement de titre de piste"), 0, ListView1->topLevelItem(first)->text(1));
}

void TForm11::ListView1KeyUp(int key)
{
    if (key == 13) ListView1DblClick();
}

void TForm11::Button4Click() { openEditor(QStringLiteral("Changement du nom de l'album"), 1, Edit1->text()); }

void TForm11::Button5Click() { openEditor(QStringLiteral("Changement du nom de l'artiste"), 2, Edit2->text()); }

void TForm11::CheckBox1Click()
{
    CheckBox2->setChecked(!CheckBox1->isChecked());
    if (CDRipper1) CDRipper1->Encode = CheckBox1->isChecked();
}

void TForm11::CheckBox2Click()
{
    CheckBox1->setChecked(!CheckBox2->isChecked());
    if (CDRipper1) CDRipper1->WriteWav = CheckBox2->isChecked();
}
