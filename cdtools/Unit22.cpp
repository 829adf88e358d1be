#include "Unit22.h"


TForm22* Form22 = nullptr;

TForm22::TForm22()
{
    setCaption(QStringLiteral("Plusieurs Albums Trouvés"));
    resize(480, 360);
}
