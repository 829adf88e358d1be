#include "Unit12.h"

#include <QVBoxLayout>

TForm12* Form12 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.mask = "*.wav";
    v.sorted = true;
    v.walkerCaption = QStringLiteral("Ajouter tous les fichiers + les fichiers des sous-dossiers");
    v.bars = 2;  // driven by the encoder
    return v;
}

}  // namespace

TForm12::TForm12() : PickerForm(variant())
{
    setCaption(QStringLiteral("Convertir WAV > MP3"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
}
