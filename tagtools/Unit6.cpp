#include "Unit6.h"

#include <QVBoxLayout>

TForm6* Form6 = nullptr;

TForm6::TForm6()
{
    setCaption(QStringLiteral("Modification des tags de plusieurs fichiers"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
