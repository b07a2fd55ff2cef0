// Facts about the running process and its session.
#pragma once

#include <string>

namespace kolm {

// Full path of the running executable (/proc/self/exe); empty when it cannot be read.
std::string keReadExecutablePath();

// True in an automated run: the environment variable CI is set (CI services set it to "true";
// empty, "false" and "0" count as not set). Automated runs never block on a window. A run
// without a terminal is not automated: a desktop launcher or file manager starts kolm so.
bool keIsAutomatedRun();

// True when an X display can be opened (DISPLAY set and the server answers).
bool keHasDisplay();

// True when an executable of that name is on PATH.
bool keHaveProgram(const char* name);

}  // namespace kolm
