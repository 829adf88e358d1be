#include "Unit22.h"

#include "Guard.h"
#include "Unit11.h"

#include <QCoreApplication>
#include <QVBoxLayout>

TForm22* Form22 = nullptr;

TForm22::TForm22()
{
    setCaption(QStringLiteral("Plusieurs Albums Trouvés"));
    setCloseBox(false);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Veuillez choisir l'album dans la liste"), this);
    ListBox1 = new QListWidget(this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(Button1);
    layout->addLayout(foot);
    resize(460, 260);
    centreOnScreen();

    ui::on(Button1, &QPushButton::clicked, this, &TForm22::Button1Click);
    ui::on(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm22::ListBox1DblClick);
}

void TForm22::Button1Click()
{
    QListWidgetItem* chosen = ListBox1->currentItem();
    if (chosen && chosen->isSelected()) {
        Form11->CDDBConnect1.Read(chosen->text().toStdString());
        QCoreApplication::processEvents();
        // The entry is of the disc the look-up was made for: it is taken only while the drive
        // holds that disc.
        Form11->AcceptCddbEntry(Disc, QStringLiteral("pendant le choix de l'album"));
    }
    Hide();
}
