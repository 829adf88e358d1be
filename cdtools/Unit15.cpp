#include "Unit15.h"

#include "ButtonRow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Shell.h"
#include "Unit1.h"
#include "Unit16.h"
#include "variable.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

TForm15* Form15 = nullptr;

TForm15::TForm15() : PickerForm(PickerVariant::SortedForProgram(), &Mp3Folder)
{
    setCaption(QStringLiteral("Normaliser un fichier MP3"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    // clang-format off
    Label14 = new QLabel(QStringLiteral("La normalisation d'un MP3 consiste à ajuster son volume afin d'obtenir une collection de MP3 qui ont le même niveau sonore. La normalisation par fichier ajuste le volume de chaque fichier indépendamment, alors que la normalisation par album conserve les écarts de volume entre chaque fichier, de façon à ne pas dénaturer un album par exemple."), this);
    // clang-format on
    Label14->setWordWrap(true);
    layout->addWidget(Label14);

    auto* settings = new QGridLayout;
    TrackBar1 = ui::tickSlider(this, 0, 10, 5);
    Label1 = new QLabel(QStringLiteral("Nouveau volume : 5/10"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("Normalisation par Fichier"), this);
    RadioButton1 = new QRadioButton(QStringLiteral("Normalisation par Album"), this);
    RadioButton2->setChecked(true);
    settings->addWidget(Label1, 0, 0);
    settings->addWidget(TrackBar1, 1, 0);
    settings->addWidget(RadioButton2, 0, 1);
    settings->addWidget(RadioButton1, 1, 1);
    settings->setColumnStretch(0, 1);
    settings->setHorizontalSpacing(30);
    layout->addLayout(settings);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Normaliser"), QStringLiteral("Annuler")});
    Button7 = row[0];
    Button5 = row[1];

    setOuterSize(682, 549);
    centreOnScreen();
    ui::on(TrackBar1, &QSlider::valueChanged, this, &TForm15::TrackBar1Change);
    ui::on(Button7, &QPushButton::clicked, this, &TForm15::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm15::Button5Click);
    OnClose = [this] { FormClose(); };
}

std::string TForm15::FileParameters(int level, const std::string& path)
{
    return "/r /c /m" + std::to_string(level) + " " + platform::quotedParameter(path);
}

std::string TForm15::AlbumParameters(int level, const std::vector<std::string>& paths)
{
    std::string parameters = "/a /c /m" + std::to_string(level);
    for (const std::string& path : paths) parameters += " " + platform::quotedParameter(path);
    return parameters;
}

void TForm15::run(const std::string& parameters, const std::vector<std::string>& paths)
{
    const std::string program = platform::programFolder() + "mp3norm";
    const platform::ProgramRun result = platform::runAndWait(program, parameters);
    if (result.exitCode == 0) return;
    if (!result.started) failures_.missingProgram = program;
    // It names each file it could not normalise and why, each ended by a 0 byte; when it names
    // none (it did not start, or it was stopped), none of them is known to be done.
    bool named = false;
    for (std::size_t at = 0, end, next; (end = result.output.find('\0', at)) != std::string::npos &&
                                        (next = result.output.find('\0', end + 1)) != std::string::npos;
         at = next + 1) {
        failures_.add(result.output.substr(at, end - at),
                      platform::toDisplayLine(result.output.substr(end + 1, next - end - 1)));
        named = true;
    }
    if (!named)
        for (const std::string& path : paths)
            failures_.add(path, result.started ? QStringLiteral("mp3norm s'est arrêté avant la fin") : QString());
}

void TForm15::NormaliseFile(const std::string& path) { run(FileParameters(TrackBar1->value(), path), {path}); }

void TForm15::NormaliseFiles(const std::vector<std::string>& paths)
{
    run(AlbumParameters(TrackBar1->value(), paths), paths);
}

void TForm15::FormClose() { Form1->Show(); }

void TForm15::TrackBar1Change() { Label1->setText(QStringLiteral("Nouveau volume : %1/10").arg(TrackBar1->value())); }

void TForm15::Button7Click()
{
    if (ListBox1->Count() == 0) return;
    std::vector<std::string> paths;
    for (int i = 0; i < ListBox1->Count(); ++i) paths.push_back(ListBox1->Item(i));
    failures_ = {};
    Form16->runAlone(this, [&] {
        if (RadioButton2->isChecked())
            for (const std::string& path : paths) NormaliseFile(path);
        else NormaliseFiles(paths);
    });
    const ui::RunReport failures = std::move(failures_);
    failures_ = {};
    failures.show(this, QStringLiteral("Sonoverne"), QStringLiteral("Normalisation terminée"),
                  QStringLiteral("Ces fichiers n'ont pas pu être normalisés"));
    ListBox1->Clear();
    Hide();
}

void TForm15::Button5Click()
{
    ListBox1->Clear();
    Hide();
    Form1->Show();
}
