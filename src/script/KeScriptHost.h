// The script host: runs one Lua 5.2 script with the standard libraries and the command table
// `ke`. The script starts the engine itself (Setup) and drives its frame loop; the host shuts
// the engine down at the end whether or not the script did.
#pragma once

namespace kolm {

// Runs the script at `path`. The engine's base directory becomes the executable's directory and
// the current directory the script's own; the error reporter logs nothing and shows no boxes
// from then on (errors reach the script as Lua errors). With `fromFileSystem` the file is read
// whole through the engine's file layer and loaded as the chunk "mem" ("cannot load %s\n" and
// -1 when it cannot be read); otherwise Lua's file loader reads it. Load and run errors are
// printed on standard output, one line each. 0 when the script ran to its end, otherwise the
// non-zero status of the failed load or call.
int keRunScript(const char* path, bool fromFileSystem);

}  // namespace kolm
