#include "Unit15.h"

#include "Unit1.h"

#include <QVBoxLayout>

TForm15* Form15 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.sorted = true;
    v.walkerCaption = QStringLiteral("Ajouter tous les fichiers de ce dossier + les fichiers des sous-dossiers");
    v.clearOnHide = false;
    v.bars = 0;
    return v;
}

}  // namespace

TForm15::TForm15() : PickerForm(variant())
{
    setCaption(QStringLiteral("Normaliser un fichier MP3"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
    // The main window was hidden while this one works: it comes back when this one closes.
    OnClose = [] { Form1->Show(); };
}
