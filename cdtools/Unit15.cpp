#include "Unit15.h"

#include "Unit1.h"

#include <QVBoxLayout>

TForm15* Form15 = nullptr;

TForm15::TForm15()
{
    setCaption(QStringLiteral("Normaliser un fichier MP3"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
    // The main window was hidden while this one works: it comes back when this one closes.
    OnClose = [] { Form1->Show(); };
}
