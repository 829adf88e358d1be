// Case formatting of tag texts, as the window "Formater les tags" applies it.
#pragma once

#include <string>

// ISO-8859-1 case mapping: accented letters convert too; a letter whose other case lies
// outside ISO-8859-1 (ß, ÿ, µ) stays as it is.
std::string lowerTagText(std::string text);
std::string upperTagText(std::string text);

// Capital first character, lower case elsewhere, except a letter a-z right after a blank or one
// of ( - # { [ _ = ~ ; . (and the apostrophe when `apostrophe`), which is put in upper case.
std::string FormatTagCase(std::string text, bool apostrophe);
