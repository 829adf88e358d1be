#include "Unit15.h"

#include <QVBoxLayout>

TForm15* Form15 = nullptr;

TForm15::TForm15()
{
    setCaption(QStringLiteral("Normaliser un fichier MP3"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new QListWidget(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
