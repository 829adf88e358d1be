#include "Unit3.h"

#include "Dialogs.h"
#include "Guard.h"
#include "Unit1.h"
#include "variable.h"

#include <QVBoxLayout>

TForm3* Form3 = nullptr;

TForm3::TForm3()
{
    setCaption(QStringLiteral("Veuillez Patienter SVP..."));
    setStayOnTop(true);
    setCloseBox(false);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Traitement en cours du fichier ......"), this);
    Label2 = new QLabel(QStringLiteral(" "), this);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setMinimumWidth(360);
    // The file name changes for every file: a fixed size keeps each change from relaying out.
    Label2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Button1 = new QPushButton(QStringLiteral("Arrêter"), this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
    setFixedSize(400, 120);
    ui::on(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

void TForm3::Button1Click()
{
    int answer = ui::Dialogs::MessageBox(
        this, QStringLiteral("Annuler = Quitter, OK = Arrêter la recherche des fichiers mais ouvrir Sonoverne"),
        QStringLiteral("Sonoverne"), ui::MB_OKCANCEL);
    if (answer == ui::IDCANCEL) QuitAfterScan = true;
    Form1->ScruteDossier1.Stop = true;
}
