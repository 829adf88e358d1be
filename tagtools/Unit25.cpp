#include "Unit25.h"

#include "ButtonRow.h"
#include "Dialogs.h"
#include "Guard.h"
#include "RunReport.h"
#include "TagFailure.h"
#include "variable.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <string>

TForm25* Form25 = nullptr;

namespace {

PickerVariant variant()
{
    PickerVariant v;
    v.addAll = false;
    v.clearCaption = QStringLiteral("Vider la liste");
    v.clearOnShow = true;
    v.clearOnHide = false;
    v.barOrientation = Qt::Vertical;
    v.selectEntry = false;
    return v;
}

}  // namespace

TForm25::TForm25() : PickerForm(variant(), &Mp3Folder)
{
    setCaption(QStringLiteral("Incrémenter les pistes"));
    Tag2.HoldFileForSave = true;  // each file is saved as soon as it is loaded
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(
        QStringLiteral(
            "Cette fenêtre remplit le tag \"piste\" des fichiers MP3 placés dans la liste, par ordre croissant : 1, 2, 3... dans l'ordre de la liste. Pratique, par exemple, pour un album dont les tags \"piste\" sont vides."),
        this);
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
    layout->addWidget(Picker, 1);
    Button2 = ui::addButtonRow(this, layout, {QStringLiteral("GO")})[0];
    resize(560, 520);
    centreOnScreen();

    OnClose = [this] { FormClose(); };
    ui::on(Button2, &QPushButton::clicked, this, &TForm25::Button2Click);
}

void TForm25::Button2Click()
{
    Picker->beginRun();
    ui::RunReport report;
    for (int i = 0; i < ListBox1->Count(); ++i) {
        Picker->showEntry(i);
        const std::string path = ListBox1->Item(i);
        // A file without a tag gets one; a file or tag that failed to load is not written, and
        // is told. Either way the file uses up its number.
        const TTagStatus loaded = Tag2.LoadFromFile(path, 0);
        if (!mayChangeTag(loaded)) {
            report.add(path, tagFailureReason(loaded));
            continue;
        }
        Tag2.SetTextFrame("TRCK", std::to_string(i + 1));
        const TTagStatus saved = Tag2.SaveToFile("=", 255, 255, -1);
        if (!tagOk(saved)) report.add(path, tagFailureReason(saved));
    }
    report.show(this, QStringLiteral("Terminé"),
                QStringLiteral("Incrémentation terminée, pensez à rafraichir la liste !"), tagsNotSavedIntro());
    Close();
}

void TForm25::FormClose() { ProgressBar1->setPosition(0); }
