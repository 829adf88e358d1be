#include "Unit7.h"


Tform7* Form7 = nullptr;

Tform7::Tform7()
{
    setCaption(QStringLiteral("Importation ID3V1 vers ID3V2"));
    resize(480, 360);
}
