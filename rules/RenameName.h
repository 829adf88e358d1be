// The new name of a file in the window "Renommage intelligent des fichiers": up to five fields
// of its tag joined by the user's separator.
#pragma once

#include <array>
#include <string>

// Removes " | \ / : ? * from a text.
std::string StripNameChars(std::string text);

// The tag texts a new name is made of, as ShownText reads them: whole, in UTF-8, the local
// encoding of file names, cut at their first 0.
struct RenameFields {
    std::string artist, title, album, track, year;
};

// The new file name from the fields, the slots' item indexes (0 or -1: empty; 1 artist, 2 title,
// 3 album, 4 track, 5 year) and the separator. It never begins with "."; empty when nothing would
// stand before the ".mp3".
std::string RenameFileName(RenameFields fields, const std::array<int, 5>& chosen, const std::string& separator);

// The name without its leading dots: a name that begins with "." is a hidden file, which the
// tools then refuse to touch. Empty when nothing but dots was there.
std::string WithoutLeadingDots(const std::string& name);

// True when the name stays a file of its folder: not empty, not "." or "..", no "/" nor 0.
bool IsPlainFileName(const std::string& name);
