#include "Unit24.h"

#include "Guard.h"
#include "OptionFoot.h"
#include "variable.h"

#include <QVBoxLayout>

TForm24* Form24 = nullptr;

// The first entry is a mirror of the first service's data that still answers CDDB over HTTP, so
// that the default look-up works; the others are its historical mirrors, then the second service.
const char* const CddbServers[18] = {
    "http://freedb.dbpoweramp.com/~cddb", "http://freedb.freedb.org/~cddb", "http://at.freedb.org/~cddb",
    "http://au.freedb.org/~cddb",         "http://ca.freedb.org/~cddb",     "http://de.freedb.org/~cddb",
    "http://es.freedb.org/~cddb",         "http://fi.freedb.org/~cddb",     "http://fr.freedb.org/~cddb",
    "http://jp.freedb.org/~cddb",         "http://ru.freedb.org/~cddb",     "http://us.freedb.org/~cddb",
    "http://gnudb.gnudb.org/~cddb",       "http://gnudb.gnudb.org/~cddb",   "http://eu.gnudb.org/~cddb",
    "http://us.gnudb.org/~cddb",          "http://asia.gnudb.org/~cddb",    "http://www.gnudb.org/~cddb",
};

TForm24::TForm24()
{
    setCaption(QStringLiteral("Options CDDB"));
    setSystemMenuOnly();
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Serveur à utiliser pour la connexion au CDDB (ou freedb)"), this);
    ComboBox1 = new QComboBox(this);
    for (const char* server : CddbServers) ComboBox1->addItem(QString::fromLatin1(server));
    ComboBox1->setCurrentIndex(0);
    layout->addWidget(Label1);
    layout->addWidget(ComboBox1);
    ui::addOptionFoot(this, layout, Label3, Button1, Button2);
    resize(420, 180);
    centreOnScreen();

    OnShow = [this] { FormShow(); };
    ui::on(Button1, &QPushButton::clicked, this, &TForm24::Button1Click);
    ui::on(Button2, &QPushButton::clicked, this, &TForm24::Button2Click);
}

void TForm24::FormShow() { shownIndex_ = ComboBox1->currentIndex(); }

void TForm24::ShowSettings() { ComboBox1->setCurrentIndex(CddbServerIndex); }

void TForm24::Button1Click()
{
    // Written first: a value the file could not take is not taken either.
    const int index = ComboBox1->currentIndex();
    WriteSetting(Setting::CddbServer, index);
    CddbServerIndex = index;
    Close();
}

void TForm24::Button2Click()
{
    ComboBox1->setCurrentIndex(shownIndex_);
    Close();
}
