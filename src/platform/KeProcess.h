// Facts about the running process and its session.
#pragma once

#include <string>

namespace kolm {

// Full path of the running executable (/proc/self/exe); empty when it cannot be read.
std::string keReadExecutablePath();

// True when a person may answer a dialog: standard input is a terminal and CI is not set.
// Automated runs never block on a window.
bool keIsInteractiveSession();

// True when an X display can be opened (DISPLAY set and the server answers).
bool keHasDisplay();

// True when an executable of that name is on PATH.
bool keHaveProgram(const char* name);

}  // namespace kolm
