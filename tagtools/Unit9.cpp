#include "Unit9.h"

#include "Unit1.h"

#include <QVBoxLayout>

TForm9* Form9 = nullptr;

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

TForm9::TForm9() : PickerForm(variant())
{
    setCaption(QStringLiteral("Création de liste"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picker);
    resize(480, 360);
    // The main window was hidden while this one works: it comes back when this one closes.
    OnClose = [] { Form1->Show(); };
}
