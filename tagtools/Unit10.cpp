#include "Unit10.h"


TForm10* Form10 = nullptr;

TForm10::TForm10()
{
    setCaption(QStringLiteral("Liste de MP3"));
    resize(480, 360);
}
