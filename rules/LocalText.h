// Tag texts (ISO-8859-1) in file names and text files, which take the local 8-bit encoding.
#pragma once

#include <string>
#include <string_view>

// A tag text (ISO-8859-1) in the local 8-bit encoding of file names and text files: UTF-8, as
// the program's platform takes it.
std::string localText(std::string_view latin1);
