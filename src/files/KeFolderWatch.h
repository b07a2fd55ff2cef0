// Folder watches: follow a folder tree by ID and list the files changed since the last reset,
// for recompiling shaders the moment an editor saves them. A watcher thread raises a flag for
// any change in the tree; listing walks the folder and two levels of sub-folders. IDs 0 to
// 99; the table is created at first use. Main thread only.
#pragma once

namespace kolm {

// At most this many files per listing; the rest are kept for the next one.
constexpr int KE_FOLDER_WATCH_MAX_CHANGES = 10;

// Starts watching a folder tree; changes count from now. 0 on success. A bad or taken ID
// records "invalid FileWatch ID %d : %s" (argument 2); a folder that cannot be watched shows
// the file-operation message. Either way nothing is kept and -1 is returned.
int keFolderWatch(const char* path, int id);

// True once something in the tree changed, until keFolderWatchReset. Also true while files
// left out of a full listing wait for the next one.
bool keFolderWatchChanged(int id);

// Lists the changed files: only after keFolderWatchChanged answered true (else 0). Returns
// their number (at most 10) and their full paths in *files, valid until the next call for
// this watch. Files beyond ten log "keGetFolderWatchChanges too much changes\n" (WARN) each
// and come first in the next listing.
int keGetFolderWatchChanges(int id, const char* const** files);

// Forgets the changes; changes count from now. 0, or -1 for an unknown ID.
int keFolderWatchReset(int id);

// Stops the watcher thread (waiting for it) and frees the watch. -1, silently, for an ID
// that is not registered.
int keFolderWatchDelete(int id);

// Deletes every folder watch and the table (shut-down, tests).
void keFolderWatchFreeAll();

}  // namespace kolm
