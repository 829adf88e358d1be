// The order of the file list's header sorts: letters a-z without regard to case, every other
// byte by its code, equal texts in the order they had. Tag texts are UTF-8, whose bytes sort as
// their characters' codes do: an accented letter of ISO-8859-1 stands where its 8-bit code puts it.
#pragma once

#include <string>
#include <vector>

// Negative, 0 or positive, as that order puts a before b.
int CompareFolded(const std::string& a, const std::string& b);

// Positions of the texts in that order, stable.
std::vector<int> FoldedOrder(const std::vector<const std::string*>& texts);
