#include "Unit9.h"

#include <QVBoxLayout>

TForm9* Form9 = nullptr;

TForm9::TForm9()
{
    setCaption(QStringLiteral("Création de liste"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new QListWidget(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
