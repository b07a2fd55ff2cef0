// The open-file dialog.
#pragma once

#include <string>

namespace kolm {

struct KeFileFilter {
    const char* description;  // "Kolm Scene (.kscn)"
    const char* pattern;      // "*.kscn;*.x": patterns separated by ";"
};

// Asks for an existing file. Uses zenity or kdialog when installed, otherwise a prompt on the
// starting terminal. Cancels (returns false) with no display or in an automated run (CI set).
// The current directory is never changed. The first filter is selected.
bool keChooseFile(const char* title, const KeFileFilter* filters, int filterCount, std::string* chosen);

}  // namespace kolm
