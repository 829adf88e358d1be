// How the windows tell a failed tag load or save.
#pragma once

#include "id3v2.h"

#include <QString>

// Why a load or save of a tag failed (lower case, no final stop).
QString tagFailureReason(TTagStatus status);
// The heading, in a batch tool's closing message, of the files whose tag could not be written.
QString tagsNotSavedIntro();
