// A progress bar with Min, Max and Position, as work loops drive it: a Position outside Min..Max draws
// the nearer end, and a Max at or below Min an empty bar. It is drawn in whole blocks inside a
// sunken frame, as the standard bar of the system the program comes from, and repaints at once
// whenever a Position changes what it draws: a loop that processes no window messages and sets
// Position at each entry shows every step the bar can show, for a few dozen paints a run.
#pragma once

#include <QProgressBar>

namespace ui {

class ProgressBar : public QProgressBar {
public:
    explicit ProgressBar(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Horizontal);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void setMin(int value);
    void setMax(int value);
    // True when the bar was painted again (it is shown and its drawing changed).
    bool setPosition(int value);
    // How many blocks the bar holds at its length; value() is how many it shows.
    int Blocks() const { return maximum(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool redraw();
    int painted_ = -1;  // the value last painted
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

}  // namespace ui
