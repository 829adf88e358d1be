// The program block: the application's title and help file, and its twenty-six windows.
#pragma once

#include <string>
#include <vector>

namespace ui {
class Form;
}

// The application's help file: a fixed absolute path ending in "Aide/index.htm".
extern std::string ApplicationHelpFile;

// Sets the application's title and help file, then creates every window, the main window
// first; returns them in creation order. Call once, after the QApplication exists.
const std::vector<ui::Form*>& CreateForms();
// Destroys the windows, last created first.
void DestroyForms();
