// What a folder walk could not read, told once it is over: the folders it could not list and the
// files it could not reach are missing from the list it filled, and the user is to know which.
#pragma once

#include <QString>

class QWidget;
class TScruteDossier;

namespace ui {

// The text that tells it, empty when the walk read everything: how many folders and how many
// files, and the first of each with why.
QString walkFailures(const TScruteDossier& walker);
// An OK box with that text, when there is one.
void tellWalkFailures(QWidget* owner, const TScruteDossier& walker);

}  // namespace ui
