#include "OptionFoot.h"
#include "ButtonRow.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ui {

void addOptionFoot(QWidget* form, QBoxLayout* layout, QLabel*& warning, QPushButton*& apply, QPushButton*& cancel)
{
    warning = new QLabel(
        QStringLiteral(
            "Attention : si vous fermez cette fenêtre sans cliquer sur Appliquer, les modifications ne seront pas prises en compte..."),
        form);
    warning->setWordWrap(true);
    layout->addWidget(warning);
    const auto row = addButtonRow(form, layout, {QStringLiteral("Appliquer"), QStringLiteral("Annuler")});
    apply = row[0];
    cancel = row[1];
}

}  // namespace ui
