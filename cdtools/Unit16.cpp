#include "Unit16.h"

#include "Display.h"
#include "FileSystem.h"
#include "Unit1.h"

#include <QCloseEvent>
#include <QVBoxLayout>

TForm16* Form16 = nullptr;

TForm16::TForm16()
{
    setCaption(QStringLiteral("Veuillez Patienter SVP..."));
    setCloseBox(false);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Opération en cours"), this);
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    setOuterSize(230, 91, true);
    centreOnScreen();
    OnHide = [this] { FormHide(); };
}

void TForm16::FormHide() { Form1->Show(); }

void TForm16::runAlone(ui::Form* tool, const std::function<void()>& work)
{
    Form1->Hide();
    Show();
    tool->Hide();
    // Whatever happens in the work, the main window comes back.
    struct Restore {
        TForm16* box;
        ~Restore()
        {
            Form1->Show();
            box->Hide();
        }
    } restore{this};
    work();
}

void TForm16::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous()) event->ignore();
    else ui::Form::closeEvent(event);
}

QString closingMessage(const QString& done, const QString& failedIntro, const ToolFailures& failures)
{
    if (failures.empty()) return done;
    QString text;
    if (!failures.missingProgram.empty())
        text = QStringLiteral("Le programme « %1 » est introuvable ou n'a pas pu être lancé.\n\n")
                   .arg(platform::toDisplay(failures.missingProgram));
    else
        text = done + QStringLiteral(".\n\n");
    text += failedIntro + QStringLiteral(" :");
    // A long list would make a box taller than the screen: the first names and a count.
    constexpr std::size_t Shown = 15;
    for (std::size_t i = 0; i < failures.files.size() && i < Shown; ++i)
        text += QStringLiteral("\n") + platform::toDisplay(failures.files[i]);
    if (failures.files.size() > Shown)
        text += QStringLiteral("\n… et %1 autres").arg(failures.files.size() - Shown);
    return text;
}
