// The foot shared by the option windows: the warning that closing without "Appliquer" keeps
// nothing, then the buttons "Appliquer" and "Annuler" at the right.
#pragma once

class QBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace ui {

void addOptionFoot(QWidget* form, QBoxLayout* layout, QLabel*& warning, QPushButton*& apply, QPushButton*& cancel);

}  // namespace ui
