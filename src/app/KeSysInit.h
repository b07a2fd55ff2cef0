// Process paths and arguments, kept for the whole run.
#pragma once

namespace kolm {

constexpr int KE_MAX_PATH = 260;  // path buffers, terminating zero included

// Stores the executable's full path and directory (with a trailing "/") and the arguments.
// "-console" is accepted: the terminal already is standard input and output.
// Returns 0 on success.
int keSysInit(int argc, char** argv);

const char* keGetExePath();       // full path of the executable
const char* keGetExeDirectory();  // its directory, ending with "/"
int keGetArgc();
char** keGetArgv();

}  // namespace kolm
