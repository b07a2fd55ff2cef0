// When the viewer reloads a watched scene: a table of ways an exporter writes the file, each a
// list of moments at which the file takes a new stamp (and the watch reports it), played frame
// by frame; the reloads the gate lets through.
#include "app/KeSceneViewerReload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {

struct Write {
    int64_t at;      // ms
    int64_t size;    // bytes; -1: the file is gone
    uint64_t inode;  // a rename over the file changes it
    bool reported;   // the watch reports it (a temporary file next to the scene is not the scene)
};

struct Case {
    const char* what;
    std::vector<Write> writes;
    std::vector<int64_t> reloads;  // frame times (16 ms frames) at which a reload happens
};

TEST(ViewerReloadGate, ReloadsOnceAChangeHasSettled) {
    const Case cases[] = {
        {"one save", {{100, 10, 1, true}}, {368}},
        {"an exporter writing in place over 400 ms",
         {{100, 10, 1, true}, {200, 20, 1, true}, {300, 30, 1, true}, {500, 40, 1, true}},
         {768}},
        {"a half-written file for 200 ms, then the rest", {{100, 50, 1, true}, {300, 100, 1, true}}, {560}},
        {"an atomic save: a temporary file, renamed over the scene", {{100, 100, 2, true}}, {368}},
        {"the file gone for a while", {{100, -1, 0, true}, {600, 100, 3, true}}, {864}},
        {"two saves a second apart", {{100, 10, 1, true}, {1100, 20, 1, true}}, {368, 1360}},
        {"a change the stamp does not show (touched twice in one tick)",
         {{100, 10, 1, true}, {200, 10, 1, true}},
         {464}},
        {"nothing reported", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KeViewerReloadGate gate;
        KeFileStamp stamp;
        stamp.exists = true;
        stamp.size = 1;
        stamp.inode = 1;
        std::vector<int64_t> reloads;
        size_t next = 0;
        for (int64_t t = 0; t <= 2000; t += 16) {
            bool changed = false;
            while (next < c.writes.size() && c.writes[next].at <= t) {
                const Write& w = c.writes[next++];
                stamp.exists = w.size >= 0;
                stamp.size = w.size < 0 ? 0 : w.size;
                stamp.inode = w.inode;
                stamp.writeTimeNs = w.at * 1000000;
                changed = changed || w.reported;
            }
            if (gate.poll(changed, stamp, t)) reloads.push_back(t);
        }
        EXPECT_EQ(reloads, c.reloads);
        EXPECT_FALSE(gate.pending());
    }
}

}  // namespace
