#include "ButtonRow.h"

#include <QBoxLayout>
#include <QPushButton>

namespace ui {

std::vector<QPushButton*> addButtonRow(QWidget* form, QBoxLayout* layout, std::initializer_list<QString> captions)
{
    std::vector<QPushButton*> buttons;
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (const QString& caption : captions) {
        buttons.push_back(new QPushButton(caption, form));
        row->addWidget(buttons.back());
    }
    layout->addLayout(row);
    return buttons;
}

}  // namespace ui
