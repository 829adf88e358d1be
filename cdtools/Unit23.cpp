#include "Unit23.h"

#include "Controls.h"
#include "Guard.h"
#include "Unit11.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TForm23* Form23 = nullptr;

TForm23::TForm23()
{
    setCaption(QStringLiteral("Changement d'identité du CD (piste, artiste, album)"));
    setCloseBox(false);
    Label33 = new QLabel(this);
    Label33->hide();
    Label1 = new QLabel(QStringLiteral("Nouveau :"), this);
    Edit1 = new ui::TagEdit(this);
    ui::onKeyUp(Edit1, [this](int key) { Edit1KeyUp(key); });
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("Annuler"), this);
    auto* layout = new QVBoxLayout(this);
    auto* line = new QHBoxLayout;
    line->addWidget(Label1);
    line->addWidget(Edit1, 1);
    layout->addLayout(line);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(Button1);
    foot->addWidget(Button2);
    layout->addLayout(foot);
    resize(440, 100);
    centreOnScreen();

    OnShow = [this] { FormShow(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm23::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm23::Button2Click);
}

void TForm23::FormShow()
{
    Edit1->setFocus();
    Edit1->selectAll();
}

void TForm23::Edit1KeyUp(int key)
{
    if (key == 13) Button1->click();
}

void TForm23::Button2Click() { Hide(); }

void TForm23::Button1Click()
{
    TForm11* cd = Form11;
    // Opened on no disc, there is nothing to change; on another disc than the one shown or in
    // the drive now, nothing is changed.
    if (Disc.DiscId.empty() || !cd->StillShows(Disc, QStringLiteral("pendant la modification"))) {
        Hide();
        return;
    }
    if (Tag == 0) {
        QTreeWidget* rows = cd->ListView1;
        int first = -1;
        for (int i = 0; i < rows->topLevelItemCount() && first < 0; ++i)
            if (rows->topLevelItem(i)->isSelected()) first = i;
        if (first >= 0) cd->SetTitle(first, Edit1->text());
        const int r = Label33->text().toInt();
        if (r + 1 != cd->TitleCount && r + 1 < rows->topLevelItemCount() && r >= 0) {
            rows->topLevelItem(r)->setSelected(false);
            rows->setCurrentItem(rows->topLevelItem(r + 1));
            rows->topLevelItem(r + 1)->setSelected(true);
        }
    } else if (Tag == 1) {
        cd->SetAlbum(Edit1->text());
    } else if (Tag == 2) {
        cd->SetArtist(Edit1->text());
    }
    cd->SaveEditedCddbEntry();
    Hide();
}
