// File watches: follow one file on disk by ID, for live reload of a scene that an exporter
// rewrites. A watcher thread raises a flag when anything in the file's folder changes; the
// main thread polls the flag and compares the file's stamp to tell the file's own changes
// apart. IDs 0 to 99; the table is created at first use. Main thread only.
#pragma once

namespace kolm {

// Starts watching a file (which need not exist yet; its folder must). 0 on success. A bad or
// taken ID records "invalid FileWatch ID %d : %s" (argument 2); a folder that cannot be
// watched shows the file-operation message. Either way nothing is kept and -1 is returned.
int keFileWatch(const char* path, int id);

// True once the file changed (written, replaced or removed), until keFileWatchReset.
bool keFileWatchChanged(int id);

// Waits until the file can be read whole (nobody is still writing it): 0, or -1 after
// timeoutMs.
int keFileWatchWaitReadable(int id, int timeoutMs);

// Forgets the change and takes the file's current stamp. 0, or -1 for an unknown ID.
int keFileWatchReset(int id);

// Stops the watcher thread (waiting for it) and frees the watch. -1, silently, for an ID
// that is not registered.
int keFileWatchDelete(int id);

// Deletes every file watch and the table (shut-down, tests).
void keFileWatchFreeAll();

}  // namespace kolm
