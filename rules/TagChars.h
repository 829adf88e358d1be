// The character filter of the window "Validation des tags": the seven characters a file name
// cannot hold, taken out of tag texts so that renaming from the tags does not fail.
#pragma once

#include <string>

// What FilterTagChars puts in place of each character; set at the start of each run.
extern std::string ReplacementText;

// Replaces " | \ / : ? * by ReplacementText, one character after the other, each pass over the
// text the pass before produced.
std::string FilterTagChars(std::string text);
