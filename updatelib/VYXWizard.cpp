#include "VYXWizard.h"

#include "VyxShell.h"

#include <QPainter>

#include <algorithm>

namespace vyx {

TVyxWizard::TVyxWizard(QWidget* parent) : QWidget(parent), gradientStart_(0x33, 0x66, 0xCC), gradientEnd_(Qt::white) {}

void TVyxWizard::SetGradient(bool value)
{
    if (value == gradient_) return;
    gradient_ = value;
    update();
}

void TVyxWizard::SetGradientStart(const QColor& value)
{
    if (value == gradientStart_) return;
    gradientStart_ = value;
    update();
}

void TVyxWizard::SetGradientEnd(const QColor& value)
{
    if (value == gradientEnd_) return;
    gradientEnd_ = value;
    update();
}

void TVyxWizard::SetGraduientHeight(int value)
{
    if (value == graduientHeight_) return;
    graduientHeight_ = value;
    update();
}

void TVyxWizard::DrawGradient(QPainter& canvas, const QRect& rect) const
{
    constexpr int kBands = 63;
    const QColor start = gradientStart_.toRgb(), end = gradientEnd_.toRgb();
    const int width = rect.width();
    auto component = [](int from, int to, int i) {
        return std::clamp(from + MulDiv(i, to - from, kBands - 1), 0, 255);
    };
    for (int i = 0; i < kBands; ++i) {
        const int left = rect.left() + MulDiv(i, width, kBands);
        const int right = rect.left() + MulDiv(i + 1, width, kBands);
        if (right <= left) continue;
        const QColor colour(component(start.red(), end.red(), i), component(start.green(), end.green(), i),
                            component(start.blue(), end.blue(), i));
        canvas.fillRect(QRect(left, rect.top(), right - left, rect.height()), colour);
    }
}

void TVyxWizard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = rect();
    painter.fillRect(client, Qt::white);
    if (gradient_ && graduientHeight_ > 0) {
        DrawGradient(painter, QRect(QPoint(client.left(), client.bottom() + 1 - graduientHeight_),
                                    QPoint(client.right(), client.bottom())));
    }
    // Etched edge: a sunken outer line inside a raised inner line.
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    auto frame = [&painter](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    frame(client, shadow, light);
    frame(client.adjusted(1, 1, -1, -1), light, shadow);
}

}  // namespace vyx
