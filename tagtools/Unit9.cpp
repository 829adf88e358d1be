#include "Unit9.h"

#include "Unit1.h"

#include <QVBoxLayout>

TForm9* Form9 = nullptr;

TForm9::TForm9()
{
    setCaption(QStringLiteral("Création de liste"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
    // The main window was hidden while this one works: it comes back when this one closes.
    OnClose = [] { Form1->Show(); };
}
