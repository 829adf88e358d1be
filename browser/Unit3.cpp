#include "Unit3.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
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
    Label2 = new ui::ElidedLabel(this);
    Label2->setAlignment(Qt::AlignCenter);
    // The file name changes for every file: a fixed size keeps each change from relaying out.
    Label2->setFixedSize(360, Label2->fontMetrics().height() + 4);
    Button1 = new QPushButton(QStringLiteral("Arrêter"), this);
    layout->addWidget(Label1);
    layout->addWidget(Label2, 0, Qt::AlignHCenter);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
    setFixedSize(400, 120);
    ui::on(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    pendingDraw_.setSingleShot(true);
    ui::on(&pendingDraw_, &QTimer::timeout, this, &TForm3::drawFileName);
    OnHide = [this] { drawFileName(); };
}

void TForm3::ShowFileName(const std::string& name)
{
    constexpr int DrawEveryMs = 40;
    name_ = name;
    namePending_ = true;
    if (!drawn_.isValid() || drawn_.elapsed() >= DrawEveryMs) {
        drawFileName();
        return;
    }
    // Too soon: the name is drawn when the pause is over.
    if (!pendingDraw_.isActive()) pendingDraw_.start(DrawEveryMs - int(drawn_.elapsed()));
}

void TForm3::drawFileName()
{
    pendingDraw_.stop();
    if (namePending_) Label2->setFullText(platform::toDisplay(name_));
    namePending_ = false;
    drawn_.restart();
}

void TForm3::Button1Click()
{
    int answer = ui::Dialogs::MessageBox(
        this, QStringLiteral("Annuler = Quitter, OK = Arrêter la recherche des fichiers mais ouvrir Sonoverne"),
        QStringLiteral("Sonoverne"), ui::MB_OKCANCEL);
    if (answer == ui::IDCANCEL) QuitAfterScan = true;
    Form1->ScruteDossier1.Stop = true;
}
