#include "Unit8.h"

#include <QVBoxLayout>

TForm8* Form8 = nullptr;

TForm8::TForm8()
{
    setCaption(QStringLiteral("Renommage intelligent des fichiers"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
