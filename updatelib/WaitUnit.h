// The one-line wait window that callers show while they work.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace vyx {

class TWaitForm : public QWidget {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* owner);

    QLabel* InfoPanel;
};

// The wait window shown, or null.
TWaitForm* WaitForm();

}  // namespace vyx
