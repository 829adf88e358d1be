#include "Unit14.h"

#include <QVBoxLayout>

TForm14* Form14 = nullptr;

TForm14::TForm14()
{
    setCaption(QStringLiteral("Validation des tags"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
