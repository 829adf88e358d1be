#include "ProgressBar.h"

#include <algorithm>

namespace ui {

ProgressBar::ProgressBar(QWidget* parent, Qt::Orientation orientation) : QProgressBar(parent)
{
    setOrientation(orientation);
    setRange(0, 1);
    setTextVisible(false);
    setValue(0);
}

void ProgressBar::setMin(int value)
{
    min_ = value;
    redraw();
}

void ProgressBar::setMax(int value)
{
    max_ = value;
    redraw();
}

bool ProgressBar::setPosition(int value)
{
    position_ = value;
    return redraw();
}

// The bar counts in pixels of its length: a run of many entries repaints it only when a pixel
// changes.
void ProgressBar::resizeEvent(QResizeEvent* event)
{
    QProgressBar::resizeEvent(event);
    const int length = std::max(1, orientation() == Qt::Horizontal ? width() : height());
    if (length == maximum()) return;
    setRange(0, length);
    redraw();
}

void ProgressBar::paintEvent(QPaintEvent* event)
{
    painted_ = value();
    QProgressBar::paintEvent(event);
}

bool ProgressBar::redraw()
{
    const int steps = maximum();
    int drawn;
    if (max_ <= min_) {
        drawn = 0;  // no range to show
    } else {
        const long long done = std::clamp<long long>(position_, min_, max_) - min_;
        drawn = int(done * steps / (static_cast<long long>(max_) - min_));
    }
    if (drawn == value()) return false;
    setValue(drawn);
    // setValue paints at once only when the change is large enough for the style: a run's loop
    // may process no messages, so the bar is painted now if it was not.
    if (!isVisible()) return false;
    if (painted_ != drawn) repaint();
    return true;
}

}  // namespace ui
