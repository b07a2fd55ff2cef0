// kolm-sync FRAME: makes a running scene viewer follow the given frame.
#include "platform/KeSyncMessage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(stderr,
                     "usage: kolm-sync FRAME\n"
                     "Posts the frame to the window titled \"Kolm\" on $DISPLAY; the scene viewer jumps to it.\n");
        return argc == 2 ? 0 : 2;
    }
    char* end = nullptr;
    const long frame = std::strtol(argv[1], &end, 10);
    if (!end || *end != '\0' || end == argv[1]) {
        std::fprintf(stderr, "kolm-sync: '%s' is not a frame number\n", argv[1]);
        return 2;
    }
    if (kolm::keSendSyncFrame("Kolm", static_cast<int>(frame)) != 0) {
        std::fprintf(stderr, "kolm-sync: no window titled \"Kolm\" on this display\n");
        return 1;
    }
    return 0;
}
