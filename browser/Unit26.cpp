#include "Unit26.h"

#include "Guard.h"
#include "Unit1.h"

#include <QPushButton>
#include <QStyle>

TForm26* Form26 = nullptr;

TForm26::TForm26()
{
    setCaption(QStringLiteral("Winamp"));
    setCloseBox(false);
    setStayOnTop(true);
    setFixedSize(185, 40);

    const auto button = [this](int left, QStyle::StandardPixmap icon, const QString& hint, void (TForm26::*handler)()) {
        auto* b = new QPushButton(this);
        b->setGeometry(left, 7, 25, 25);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        ui::on(b, &QPushButton::clicked, this, handler);
        return b;
    };
    BitBtn6 = button(8, QStyle::SP_MediaSkipBackward, QStringLiteral("Précédent"), &TForm26::BitBtn6Click);
    BitBtn8 = button(32, QStyle::SP_MediaSeekBackward, QStringLiteral("Reculer de 5 secondes"), &TForm26::BitBtn8Click);
    BitBtn9 = button(56, QStyle::SP_MediaStop, QStringLiteral("Stop"), &TForm26::BitBtn9Click);
    BitBtn1 = button(80, QStyle::SP_MediaPause, QStringLiteral("Pause"), &TForm26::BitBtn1Click);
    BitBtn2 = button(104, QStyle::SP_MediaPlay, QStringLiteral("Lecture"), &TForm26::BitBtn2Click);
    BitBtn3 = button(128, QStyle::SP_MediaSeekForward, QStringLiteral("Avancer de 5 secondes"), &TForm26::BitBtn3Click);
    BitBtn4 = button(152, QStyle::SP_MediaSkipForward, QStringLiteral("Suivant"), &TForm26::BitBtn4Click);
}

void TForm26::BitBtn6Click() { Form1->WinAmpControl1.Previous(); }
void TForm26::BitBtn8Click() { Form1->WinAmpControl1.Rewind5s(); }
void TForm26::BitBtn9Click() { Form1->WinAmpControl1.Stop(); }
void TForm26::BitBtn1Click() { Form1->WinAmpControl1.Pause(); }
void TForm26::BitBtn2Click() { Form1->WinAmpControl1.Play(); }
void TForm26::BitBtn3Click() { Form1->WinAmpControl1.Forward5s(); }
void TForm26::BitBtn4Click() { Form1->WinAmpControl1.Next(); }
