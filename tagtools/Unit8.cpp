#include "Unit8.h"

#include <QVBoxLayout>

TForm8* Form8 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    return v;
}

}  // namespace

TForm8::TForm8() : PickerForm(variant())
{
    setCaption(QStringLiteral("Renommage intelligent des fichiers"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
}
