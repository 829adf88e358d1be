#include "Unit16.h"


TForm16* Form16 = nullptr;

TForm16::TForm16()
{
    setCaption(QStringLiteral("Veuillez Patienter SVP..."));
    resize(480, 360);
}
