#include "Controls.h"

#include "Guard.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>

namespace ui {

QLabel* noteLabel(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

QComboBox* fixedList(QWidget* parent, const QStringList& items, int initial)
{
    auto* box = new QComboBox(parent);
    box->addItems(items);
    box->setCurrentIndex(initial);
    return box;
}

QSlider* tickSlider(QWidget* parent, int min, int max, int value)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(min, max);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setTickInterval(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setValue(value);
    return slider;
}

int keyUpCode(const QKeyEvent* event)
{
    const int key = event->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter ? 13 : key;
}

namespace {

class KeyUpFilter : public QObject {
public:
    KeyUpFilter(QWidget* widget, std::function<void(int)> handler) : QObject(widget), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease) {
            const int key = keyUpCode(static_cast<QKeyEvent*>(event));
            guarded([&] { handler_(key); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> handler_;
};

}  // namespace

void onKeyUp(QWidget* widget, std::function<void(int key)> handler)
{
    widget->installEventFilter(new KeyUpFilter(widget, std::move(handler)));
}

}  // namespace ui
