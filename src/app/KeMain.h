// The process entry: prepares the process, parses the command line, chooses one run mode.
#pragma once

namespace kolm {

// Returns 0 when a mode was dispatched, -1 otherwise (see KeMain.cpp).
int keMain(int argc, char** argv);

}  // namespace kolm
