#include "Unit25.h"


TForm25* Form25 = nullptr;

TForm25::TForm25()
{
    setCaption(QStringLiteral("Incrémenter les pistes"));
    resize(480, 360);
}
