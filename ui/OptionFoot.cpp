#include "OptionFoot.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ui {

void addOptionFoot(QWidget* form, QBoxLayout* layout, QLabel*& warning, QPushButton*& apply, QPushButton*& cancel)
{
    warning = new QLabel(QStringLiteral("Attention : si vous fermez cette fenêtre sans cliquer sur Appliquer, les modifications ne seront pas prises en compte..."), form);
    warning->setWordWrap(true);
    apply = new QPushButton(QStringLiteral("Appliquer"), form);
    cancel = new QPushButton(QStringLiteral("Annuler"), form);
    layout->addWidget(warning);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

}  // namespace ui
