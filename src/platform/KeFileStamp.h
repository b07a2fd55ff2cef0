// File stamps: what a file looks like on disk at one moment, enough to tell whether it was
// written since, and the clock that file systems stamp files with.
#pragma once

#include <cstdint>

namespace kolm {

struct KeFileStamp {
    bool exists = false;
    int64_t writeTimeNs = 0;  // last write time, ns since the Unix epoch
    int64_t size = 0;         // bytes
    uint64_t device = 0;
    uint64_t inode = 0;       // a save that replaces the file (write and rename) changes it
};

// Reads the stamp of a file (symbolic links followed). False, with exists == false and the
// other fields zero, when the file cannot be looked at (missing, no permission).
bool keReadFileStamp(const char* path, KeFileStamp* stamp);

// True when both stamps describe the same file in the same state.
bool keSameFileStamp(const KeFileStamp& a, const KeFileStamp& b);

// The current time in ns since the Unix epoch, read from the coarse real-time clock: the
// kernel stamps written files from it, so a file written after this call never carries an
// earlier write time (a fine-grained clock may run up to one tick ahead of the stamps).
int64_t keFileTimeNow();

// Waits until a file can be read whole: it exists, opens for reading, no process holds it
// open for writing (where the system can tell, through a read lease) and its size and write
// time stay the same over one interval. Sleeps between looks; never spins. 0 when readable,
// -1 once timeoutMs have passed since the first look. A timeout of 0 still takes one look
// over one interval.
int keWaitFileReadable(const char* path, int timeoutMs, int intervalMs = 50);

}  // namespace kolm
