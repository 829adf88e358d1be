#include "Unit12.h"

#include "Controls.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Input.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstdio>

TForm12* Form12 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.mask = "*.wav";
    v.sorted = true;
    v.walkerCaption = QStringLiteral("Ajouter tous les fichiers + les fichiers des sous-dossiers");
    v.bars = 2;  // driven by the encoder
    return v;
}

// An MP3 already in the way of an output is moved aside while its file is encoded, so that a
// file that fails or a stop gives it back whole.
platform::SetAside setAside;

}  // namespace

TForm12::TForm12() : PickerForm(variant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Convertir WAV > MP3"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    // clang-format off
    Label14 = new QLabel(QStringLiteral("Ajoutez à la liste du haut les fichiers à convertir, en cliquant sur ajouter ou en double-cliquant sur le fichier, puis choisissez les différents paramètres, et enfin cliquez sur convertir"), this);
    // clang-format on
    Label14->setWordWrap(true);
    layout->addWidget(Label14);

    ComboBox1 = ui::fixedList(this, {"44100", "32000", "22050"}, 0);
    ComboBox2 = ui::fixedList(this, {"320", "256", "192", "160", "128", "96"}, 4);
    ComboBox3 = ui::fixedList(this, {"320", "256", "192", "160"}, 0);
    ComboBox4 = ui::fixedList(this, {"Stereo", "Joint stereo", "Dual channel", "Mono"}, 0);
    ComboBox5 = ui::fixedList(this, {"Normal", "Low", "High", "Voice"}, 0);
    TrackBar1 = ui::tickSlider(this, 0, 9, 4);
    Label7 = new QLabel(QStringLiteral("4"), this);
    CheckBox6 = new QCheckBox(QStringLiteral("VBR"), this);
    CheckBox7 = new QCheckBox(QStringLiteral("Ecrire le header VBR"), this);
    CheckBox3 = new QCheckBox(QStringLiteral("Copyright"), this);
    CheckBox4 = new QCheckBox(QStringLiteral("Original"), this);
    CheckBox5 = new QCheckBox(QStringLiteral("CRC"), this);
    CheckBox8 = new QCheckBox(QStringLiteral("Private"), this);

    auto* settings = new QGridLayout;
    const std::pair<const char*, QComboBox*> boxes[] = {{"Sample Rate", ComboBox1},
                                                        {"BitRate", ComboBox2},
                                                        {"Max BitRate", ComboBox3},
                                                        {"Mode", ComboBox4},
                                                        {"Qualité", ComboBox5}};
    int column = 0;
    for (const auto& [label, box] : boxes) {
        settings->addWidget(new QLabel(QString::fromUtf8(label), this), 0, column);
        settings->addWidget(box, 1, column++);
    }
    settings->addWidget(new QLabel(QStringLiteral("Qualité VBR"), this), 2, 0);
    auto* vbr = new QHBoxLayout;
    vbr->addWidget(TrackBar1, 1);
    vbr->addWidget(Label7);
    settings->addLayout(vbr, 3, 0, 1, 2);
    settings->addWidget(CheckBox6, 2, 2);
    settings->addWidget(CheckBox7, 3, 2);
    settings->addWidget(CheckBox3, 2, 3);
    settings->addWidget(CheckBox4, 3, 3);
    settings->addWidget(CheckBox5, 2, 4);
    settings->addWidget(CheckBox8, 3, 4);
    layout->addLayout(settings);

    // The picker's bars, with their labels, under the status line.
    ProgressBar2 = Picker->ProgressBar2;
    Label5 = new QLabel(this);
    Label5->setAlignment(Qt::AlignCenter);
    Label9 = new QLabel(QStringLiteral("Piste en cours"), this);
    Label6 = new QLabel(QStringLiteral("Total"), this);
    ProgressBar1->setTextVisible(false);
    ProgressBar2->setTextVisible(false);
    auto* bars = new QGridLayout;
    bars->addWidget(Label5, 0, 0, 1, 2);
    for (int row : {1, 2}) {
        ui::ProgressBar* bar = row == 1 ? ProgressBar1 : ProgressBar2;
        Picker->layout()->removeWidget(bar);
        bars->addWidget(row == 1 ? Label9 : Label6, row, 0);
        bars->addWidget(bar, row, 1);
    }
    layout->addLayout(bars);

    auto* buttons = new QHBoxLayout;
    Button7 = new QPushButton(QStringLiteral("Convertir"), this);
    Button5 = new QPushButton(QStringLiteral("Annuler"), this);
    buttons->addStretch(1);
    buttons->addWidget(Button7);
    buttons->addWidget(Button5);
    layout->addLayout(buttons);

    setOuterSize(681, 594);
    centreOnScreen();

    LameCoder1.CRC = false;
    LameCoder1.DefaultExt = ".mp3";
    LameCoder1.OnBeginProcess = [this](TLameCoder* s) { LameCoder1BeginProcess(s); };
    LameCoder1.OnBeginFile = [this](TLameCoder* s, uint16_t n, const std::string& f) { LameCoder1BeginFile(s, n, f); };
    LameCoder1.OnProgress = [this](TLameCoder* s, uint16_t p) { LameCoder1Progress(s, p); };
    LameCoder1.OnEndProcess = [this](TLameCoder* s) { LameCoder1EndProcess(s); };

    auto combo = [this](QComboBox* box, void (TForm12::*handler)()) {
        ui::on(box, &QComboBox::currentIndexChanged, this, handler);
    };
    combo(ComboBox1, &TForm12::ComboBox1Change);
    combo(ComboBox2, &TForm12::ComboBox2Change);
    combo(ComboBox3, &TForm12::ComboBox3Change);
    combo(ComboBox4, &TForm12::ComboBox4Change);
    combo(ComboBox5, &TForm12::ComboBox5Change);
    ui::on(TrackBar1, &QSlider::valueChanged, this, &TForm12::TrackBar1Change);
    ui::on(CheckBox3, &QCheckBox::toggled, this, &TForm12::CheckBox3Click);
    ui::on(CheckBox4, &QCheckBox::toggled, this, &TForm12::CheckBox4Click);
    ui::on(CheckBox5, &QCheckBox::toggled, this, &TForm12::CheckBox5Click);
    ui::on(CheckBox6, &QCheckBox::toggled, this, &TForm12::CheckBox6Click);
    ui::on(CheckBox7, &QCheckBox::toggled, this, &TForm12::CheckBox7Click);
    ui::on(CheckBox8, &QCheckBox::toggled, this, &TForm12::CheckBox8Click);
    ui::on(Button7, &QPushButton::clicked, this, &TForm12::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm12::Button5Click);
    FormCreate();
}

void TForm12::FormCreate() { ListBox1->Clear(); }

void TForm12::FormShow()
{
    // The line of a run that has ended says nothing of the next.
    Label5->clear();
    PickerForm::FormShow();
}

void TForm12::FormHide()
{
    stopped_ = running_;
    LameCoder1.Abort();
    PickerForm::FormHide();
}

void TForm12::ComboBox1Change() { LameCoder1.SampleRate = uint32_t(ComboBox1->currentText().toUInt()); }
void TForm12::ComboBox2Change() { LameCoder1.Bitrate = uint32_t(ComboBox2->currentText().toUInt()); }
void TForm12::ComboBox3Change() { LameCoder1.MaxBitrate = uint32_t(ComboBox3->currentText().toUInt()); }
void TForm12::ComboBox4Change() { LameCoder1.SetMode(TLameMode(ComboBox4->currentIndex())); }
void TForm12::ComboBox5Change() { LameCoder1.Quality = MPEG_QUALITY(ComboBox5->currentIndex()); }

void TForm12::TrackBar1Change()
{
    LameCoder1.VBRQuality = TrackBar1->value();
    Label7->setText(QString::number(TrackBar1->value()));
}

void TForm12::CheckBox3Click() { LameCoder1.Copyright = CheckBox3->isChecked(); }
void TForm12::CheckBox4Click() { LameCoder1.Original = CheckBox4->isChecked(); }
void TForm12::CheckBox5Click() { LameCoder1.CRC = CheckBox5->isChecked(); }
void TForm12::CheckBox6Click() { LameCoder1.SetEnableVBR(CheckBox6->isChecked()); }
void TForm12::CheckBox7Click() { LameCoder1.WriteVBRHeader = CheckBox7->isChecked(); }
void TForm12::CheckBox8Click() { LameCoder1.Private = CheckBox8->isChecked(); }

void TForm12::Button7Click()
{
    // The encoder runs one list at a time; the button waits for the run under way.
    if (running_ || ListBox1->Count() == 0) return;
    std::vector<std::string> files;
    for (int i = 0; i < ListBox1->Count(); ++i) files.push_back(ListBox1->Item(i));
    runCount_ = int32_t(files.size());
    failures_ = {};
    running_ = true;
    stopped_ = false;
    Button7->setEnabled(false);
    struct Done {
        TForm12* form;
        ~Done()
        {
            setAside.giveBack(false);
            form->running_ = false;
            form->Button7->setEnabled(true);
        }
    } done{this};

    for (partStart_ = 0; partStart_ < runCount_;) {
        LameCoder1.SetInputFiles({files.begin() + partStart_, files.end()});
        try {
            LameCoder1.Encode();
            return;  // ended, or stopped
        } catch (const std::exception& e) {
            if (stopped_) return;
            setAside.giveBack(true);
            const int32_t failed = std::max(CurrentFileIndex, partStart_);
            failures_.add(files[std::size_t(failed)], platform::toDisplay(e.what()));
            partStart_ = failed + 1;
        }
    }
    // The last file failed: the run ends here.
    LameCoder1EndProcess(&LameCoder1);
}

void TForm12::Button5Click()
{
    stopped_ = running_;
    LameCoder1.Abort();
    ListBox1->Clear();
    Close();
}

void TForm12::LameCoder1BeginProcess(TLameCoder*)
{
    CurrentFileIndex = partStart_ - 1;
    ProgressBar2->setPosition(runCount_ ? 100 * partStart_ / runCount_ : 0);
}

void TForm12::LameCoder1BeginFile(TLameCoder* Sender, uint16_t Num, const std::string&)
{
    CurrentFileIndex = CurrentFileIndex + 1;
    Label5->setText(
        QStringLiteral("Conversion en cours du fichier %1 sur %2").arg(partStart_ + Num + 1).arg(runCount_));
    setAside.keepNew();
    // Settings the encoder refused leave it without a stream: nothing of this file can be made.
    if (!Sender->OutputBuffer()) throw ELameError("Réglages refusés par l'encodeur");
    const std::string& output = Sender->OutputFiles()[Num];
    // A file already named ".mp3" would be written over while it is read.
    if (output == Sender->InputFiles()[Num]) throw ELameError("Le fichier MP3 à créer est ce fichier même");
    if (!setAside.take(output))
        throw std::runtime_error(platform::fileFailureText(platform::FileAction::Replace, output, errno));
}

void TForm12::LameCoder1Progress(TLameCoder*, uint16_t PercentComplete)
{
    ProgressBar1->setPosition(PercentComplete);
    ProgressBar2->setPosition(runCount_ ? (PercentComplete + 100 * CurrentFileIndex) / runCount_ : 0);
}

void TForm12::LameCoder1EndProcess(TLameCoder*)
{
    setAside.keepNew();
    ProgressBar2->setPosition(100);
    failures_.show(nullptr, QStringLiteral("Sonoverne"), QStringLiteral("Conversion Terminée"),
                   QStringLiteral("Ces fichiers n'ont pas pu être convertis"));
    failures_ = {};
    ListBox1->Clear();
    Close();
}
