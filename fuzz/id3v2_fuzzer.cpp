// libFuzzer target: any bytes as a file, loaded as an ID3v2 tag, then every text and comment
// read the program makes; then, as the tag tools do, one text and the year changed and the tag
// saved and loaded again. Whatever the bytes, each call must end with a status or a result.
#include "id3v2.h"
#include "tagtext.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string ScratchFile() {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/sonoverne-fuzz-" + std::to_string(getpid()) + ".mp3";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = ScratchFile();
  static Tid3v2tag tag;  // reused, as the program reuses its tag objects
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  tag.LoadFromFile(path, 0);
  std::string text;
  for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK"}) tag.GetTextFrame(id, text);
  tag.GetYear(text);
  TCommentFrame comment;
  tag.GetComment(comment, "", "None");
  tag.GetComment(comment, "", "eng");

  const bool titleSet = tag.SetTextFrame("TIT2", "Fuzz") == 0;
  tag.SetYear("2004");
  // A comment frame that cannot be decoded stops the search, and the comment is not set.
  const bool commentSet = tag.SetComment({0, "ENG", "", "Saved"}, "", "None") == 0;
  if (tagOk(tag.SaveToFile("=", 255, 255, -1))) {
    // What the library wrote, it reads back as written.
    if (!tagOk(tag.LoadFromFile(path, 0))) __builtin_trap();
    if (titleSet && (tag.GetTextFrame("TIT2", text) != 0 || text != "Fuzz")) __builtin_trap();
    // Whatever year frames the tag held, the year set is the one read.
    tag.GetYear(text);
    if (tagText(text) != "2004") __builtin_trap();
    if (commentSet && (tag.GetComment(comment, "", "ENG") != 0 || comment.Text != "Saved")) __builtin_trap();
  }
  return 0;
}
