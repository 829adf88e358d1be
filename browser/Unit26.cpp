#include "Unit26.h"


TForm26* Form26 = nullptr;

TForm26::TForm26()
{
    setCaption(QStringLiteral("Winamp"));
    resize(480, 360);
}
