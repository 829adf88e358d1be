// The row of push buttons at the foot of a window, at its right.
#pragma once

#include <QString>
#include <initializer_list>
#include <vector>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace ui {

// Makes one button per caption, in order, and returns them in that order.
std::vector<QPushButton*> addButtonRow(QWidget* form, QBoxLayout* layout, std::initializer_list<QString> captions);

}  // namespace ui
