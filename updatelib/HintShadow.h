// Hints of the library's windows. They are the style's own tool tips: Qt shows them in a
// tool-tip window, which the window system draws with a drop shadow where it supports one.
#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace vyx {

class TShadowedHintWindow {
public:
    // Shows text as the hint of control at a global position; an empty text hides the hint.
    static void ActivateHint(QWidget* control, const QPoint& globalPos, const QString& text);
    // The hint window on screen, or null.
    static QWidget* Current();
};

}  // namespace vyx
