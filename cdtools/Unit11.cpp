#include "Unit11.h"


TForm11* Form11 = nullptr;

TForm11::TForm11()
{
    setCaption(QStringLiteral("Extraire les pistes d'un CD"));
    resize(480, 360);
}
