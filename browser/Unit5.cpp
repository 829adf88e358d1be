#include "Unit5.h"

#include "Guard.h"

#include <QVBoxLayout>

TForm5* Form5 = nullptr;

TForm5::TForm5()
{
    setCaption(QStringLiteral("A Propos de Sonoverne"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b style='font-size:16pt'>Sonoverne</b>"), this);
    title->setAlignment(Qt::AlignCenter);
    Label1 = new QLabel(
        QStringLiteral(
            "Sonoverne est gratuit : vous pouvez l'utiliser et le donner à qui vous voulez sans rien payer.\n"
            "En échange, envoyez-nous par courrier électronique vos suggestions et les erreurs que vous "
            "rencontrez : elles aident à améliorer le programme."),
        this);
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("Remerciements :"), this);
    Label2->setStyleSheet(QStringLiteral("font-weight: bold"));
    Label3 = new QLabel(QStringLiteral("À tous ceux qui ont essayé les premières versions et signalé leurs erreurs,\n"
                                       "aux auteurs de zlib, de LAME, de libcdio et de Qt,\n"
                                       "et aux bénévoles des bases de données CDDB."),
                        this);
    Label3->setWordWrap(true);
    Label4 = new QLabel(QStringLiteral("Version : 0.9.9.8"), this);
    Label4->setAlignment(Qt::AlignRight);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    layout->addWidget(title);
    layout->addWidget(Label1);
    layout->addSpacing(8);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addStretch(1);
    layout->addWidget(Label4);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
    resize(440, 320);
    centreOnScreen();
    ui::on(Button1, &QPushButton::clicked, this, [this] { setModalResult(ui::mrOk); });
}
