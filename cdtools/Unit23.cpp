#include "Unit23.h"


TForm23* Form23 = nullptr;

TForm23::TForm23()
{
    setCaption(QStringLiteral("Changement d'identité du CD (piste, artiste, album)"));
    resize(480, 360);
}
