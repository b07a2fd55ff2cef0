// Process paths and arguments, kept for the whole run.
#pragma once

namespace kolm {

// Stores the executable's full path and directory (with a trailing "/") and the arguments.
// Paths of any length the system allows are kept whole. "-console" is accepted: the terminal
// already is standard input and output. Returns 0 on success.
int keSysInit(int argc, char** argv);

const char* keGetExePath();       // full path of the executable
const char* keGetExeDirectory();  // its directory, ending with "/"
int keGetArgc();
char** keGetArgv();

}  // namespace kolm
