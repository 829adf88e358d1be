#include "Unit16.h"

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
