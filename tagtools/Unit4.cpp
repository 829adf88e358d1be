#include "Unit4.h"


TForm4* Form4 = nullptr;

TForm4::TForm4()
{
    setCaption(QStringLiteral("Edition des tags"));
    resize(480, 360);
}
