// A one-line label for a name that may be longer than the window: it shows the name elided in
// the middle to the width it is given (the start and the end of a path are what tell it apart),
// never asks for more width than that, and keeps the whole name in its tool tip.
#pragma once

#include <QLabel>
#include <QString>

namespace ui {

class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();
    QString full_;
};

}  // namespace ui
