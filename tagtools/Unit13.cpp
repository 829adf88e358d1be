#include "Unit13.h"

#include <QVBoxLayout>

TForm13* Form13 = nullptr;

TForm13::TForm13()
{
    setCaption(QStringLiteral("Formater les tags"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
