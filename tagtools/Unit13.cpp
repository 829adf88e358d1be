#include "Unit13.h"

#include <QVBoxLayout>

TForm13* Form13 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.sorted = true;
    v.walkerCaption = QStringLiteral("Ajouter tous les fichiers de ce dossier + les fichiers des sous-dossiers");
    v.maxIsCount = true;
    return v;
}

}  // namespace

TForm13::TForm13() : PickerForm(variant())
{
    setCaption(QStringLiteral("Formater les tags"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
}
