// How the windows tell a failed tag load or save.
#pragma once

#include "id3v2.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

namespace ui {
class RunReport;
}

// Why a load or save of a tag failed (lower case, no final stop).
QString tagFailureReason(TTagStatus status);
// Why a file without a single byte is left as it is, in the same words.
QString emptyFileReason();
// Whether a tool may write the tag of a file it just loaded: the tag was read, or the file has
// none. Any other file, an empty one included, is left as it is and told with tagFailureReason.
constexpr bool mayChangeTag(TTagStatus loaded) { return tagOk(loaded) || noTag(loaded); }
// The heading, in a batch tool's closing message, of the files whose tag could not be written.
QString tagsNotSavedIntro();
// The heading of the files in which fields that could not be read whole were kept as they were.
QString fieldsKeptIntro();
// The name a closing message gives a field, by its frame as readTagField takes it ("TIT2":
// "titre"); a frame without a name of its own is named by its identifier.
QString tagFieldName(const char* frameID);
// The name a closing message gives the comment.
QString commentFieldName();
// One file of a batch tool that rewrites tags: loads its tag, lets change alter it, saves it. A
// file without a tag has nothing to rewrite; one whose tag cannot be read is left as it is, and
// told; so is a failed save. A tag that held no frame had nothing to rewrite, but one whose frames
// were all emptied is refused by the library and keeps its old texts: that is a failure. change
// returns the names of the fields it kept as they were, told for a file that was saved.
void rewriteTag(Tid3v2tag& tag, const std::string& path, ui::RunReport& report,
                const std::function<QStringList()>& change);
