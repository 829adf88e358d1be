#include "Unit21.h"

#include "ButtonRow.h"
#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "RunReport.h"
#include "Shell.h"
#include "Unit1.h"
#include "Unit16.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TForm21* Form21 = nullptr;

TForm21::TForm21() : PickerForm(PickerVariant::SortedForProgram(), &Mp3Folder)
{
    setCaption(QStringLiteral("Convertir : MP3 > WAV"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker, 1);

    const auto row = ui::addButtonRow(this, layout, {QStringLiteral("Convertir"), QStringLiteral("Annuler")});
    Button7 = row[0];
    Button5 = row[1];

    setOuterSize(677, 545);
    centreOnScreen();
    ui::on(Button7, &QPushButton::clicked, this, &TForm21::Button7Click);
    ui::on(Button5, &QPushButton::clicked, this, &TForm21::Button5Click);
    OnClose = [this] { FormClose(); };
}

std::string TForm21::OutputName(const std::string& entry)
{
    return entry.substr(0, entry.size() < 3 ? 0 : entry.size() - 3) + "wav";
}

std::string TForm21::DecodeParameters(const std::string& entry)
{
    return "--decode " + platform::quotedParameter(entry) + " " + platform::quotedParameter(OutputName(entry), false);
}

void TForm21::FormClose() { Form1->Show(); }

void TForm21::Button7Click()
{
    if (ListBox1->Count() == 0) return;
    std::vector<std::string> entries;
    for (int i = 0; i < ListBox1->Count(); ++i) entries.push_back(ListBox1->Item(i));
    ui::RunReport failures;
    Form16->runAlone(this, [&] {
        const std::string program = platform::programFolder() + "dec";
        for (const std::string& entry : entries) {
            const platform::ProgramRun run = platform::runAndWait(program, DecodeParameters(entry));
            if (!run.started) failures.missingProgram = program;
            // It says why on one line; nothing when it was stopped.
            if (run.exitCode != 0)
                failures.add(entry, !run.started         ? QString()
                                    : run.output.empty() ? QStringLiteral("dec s'est arrêté avant la fin")
                                                         : platform::toDisplayLine(run.output));
        }
    });
    failures.show(this, QStringLiteral("Sonoverne"), QStringLiteral("Conversion terminée"),
                  QStringLiteral("Ces fichiers n'ont pas pu être convertis"));
    ListBox1->Clear();
    Hide();
}

void TForm21::Button5Click()
{
    ListBox1->Clear();
    Hide();
    Form1->Show();
}
