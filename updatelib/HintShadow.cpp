#include "HintShadow.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

namespace vyx {

void TShadowedHintWindow::ActivateHint(QWidget* control, const QPoint& globalPos, const QString& text)
{
    if (text.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(globalPos, text, control);
}

QWidget* TShadowedHintWindow::Current()
{
    if (!QToolTip::isVisible()) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::ToolTip) return w;
    return nullptr;
}

}  // namespace vyx
