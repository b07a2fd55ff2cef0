// File commands of the object API beyond the file layer's path operations (files/KeFilePaths.h):
// the open-file dialog, usable without a running engine.
#pragma once

namespace kolm {

// The open-file dialog with the given title (null: the dialog's own) and no filter: the full
// path of the chosen file, or null when the dialog was cancelled. An automated run (CI set)
// or a run without a display never waits: it counts as cancelled. The path lives until the
// next call.
const char* keFileRequester(const char* title);

}  // namespace kolm
