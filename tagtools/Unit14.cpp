#include "Unit14.h"

#include <QVBoxLayout>

TForm14* Form14 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.sorted = true;
    v.walkerCaption = QStringLiteral("Ajouter tous les fichiers de ce dossier + les fichiers des sous-dossiers");
    v.selectEntry = false;
    return v;
}

}  // namespace

TForm14::TForm14() : PickerForm(variant())
{
    setCaption(QStringLiteral("Validation des tags"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
}
