#include "ProgressBar.h"

#include <QPainter>
#include <qdrawutil.h>

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

namespace {
constexpr int Frame = 2;  // sunken edge and the space inside it
constexpr int Gap = 2;    // between two blocks

// A block is two thirds as long as the bar is thick, as on the original system's bars.
int blockLength(int thickness) { return std::max(2, thickness * 2 / 3); }
}  // namespace

// The bar counts in blocks: a run of many entries repaints it only when a block appears.
void ProgressBar::resizeEvent(QResizeEvent* event)
{
    QProgressBar::resizeEvent(event);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int length = std::max(1, (horizontal ? width() : height()) - 2 * Frame);
    const int step = blockLength(std::max(1, (horizontal ? height() : width()) - 2 * Frame)) + Gap;
    const int blocks = (length + Gap + step - 1) / step;  // the last one cut at the end
    if (blocks == maximum()) return;
    setRange(0, blocks);
    redraw();
}

void ProgressBar::paintEvent(QPaintEvent*)
{
    painted_ = value();
    QPainter p(this);
    const QRect all = rect();
    p.fillRect(all, palette().base());
    qDrawShadePanel(&p, all, palette(), true, 1);
    const QRect inside = all.adjusted(Frame, Frame, -Frame, -Frame);
    if (inside.isEmpty()) return;
    const bool horizontal = orientation() == Qt::Horizontal;
    const int block = blockLength(horizontal ? inside.height() : inside.width());
    p.setClipRect(inside);
    for (int k = 0; k < value(); ++k) {
        const int from = k * (block + Gap);
        const QRect r = horizontal ? QRect(inside.left() + from, inside.top(), block, inside.height())
                                   : QRect(inside.left(), inside.bottom() + 1 - from - block, inside.width(), block);
        p.fillRect(r, palette().highlight());
    }
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
