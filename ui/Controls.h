// Controls most windows make the same way.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QKeyEvent;
class QLabel;
class QSlider;
class QWidget;

namespace ui {

// A centred note wrapped over as many lines as it needs.
QLabel* noteLabel(QWidget* parent, const QString& text);

// A list to choose from, not to type in, showing items[initial].
QComboBox* fixedList(QWidget* parent, const QStringList& items, int initial);

// A horizontal track bar from min to max, one tick per step, at value.
QSlider* tickSlider(QWidget* parent, int min, int max, int value);

// The key code a key-up handler receives: 13 for either Return key, else Qt's code.
int keyUpCode(const QKeyEvent* event);

// Calls handler, behind the guard, each time a key is released in widget.
void onKeyUp(QWidget* widget, std::function<void(int key)> handler);

}  // namespace ui
