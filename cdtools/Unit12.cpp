#include "Unit12.h"

#include <QVBoxLayout>

TForm12* Form12 = nullptr;

TForm12::TForm12()
{
    setCaption(QStringLiteral("Convertir WAV > MP3"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new ui::ListBox(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
