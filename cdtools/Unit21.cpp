#include "Unit21.h"

#include <QVBoxLayout>

TForm21* Form21 = nullptr;

TForm21::TForm21()
{
    setCaption(QStringLiteral("Convertir : MP3 > WAV"));
    auto* layout = new QVBoxLayout(this);
    ListBox1 = new QListWidget(this);
    layout->addWidget(ListBox1);
    resize(480, 360);
}
