#include "TagFields.h"

#include "tagtext.h"

namespace {

// No frame (1) and an empty frame (2) are read whole: there is nothing more to lose.
bool readWhole(TFrameResult result)
{
  return result == frameresult::Success || result == frameresult::NotFound ||
         result == frameresult::Empty;
}

}  // namespace

TagField readTagField(Tid3v2tag& tag, const char* frameID)
{
  TagField field;
  field.whole = readWhole(tag.GetTextFrame(frameID, field.text));
  cutTagText(field.text);
  return field;
}

TagField readTagComment(Tid3v2tag& tag)
{
  TagField field;
  TCommentFrame comment;
  field.whole = readWhole(tag.GetComment(comment, "", "None"));
  field.text = std::move(comment.Text);
  cutTagText(field.text);
  return field;
}
