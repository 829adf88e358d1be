#include "Unit21.h"

#include "Unit1.h"

#include <QVBoxLayout>

TForm21* Form21 = nullptr;

TForm21::TForm21()
{
    setCaption(QStringLiteral("Convertir : MP3 > WAV"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
    // The main window was hidden while this one works: it comes back when this one closes.
    OnClose = [] { Form1->Show(); };
}
