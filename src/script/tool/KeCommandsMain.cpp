// kolm-commands [--markdown]: prints every script command with its arguments and result, from
// the command table itself.
#include "script/KeCommandTable.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--markdown") == 0) {
            markdown = true;
        } else {
            std::fprintf(stderr, "usage: kolm-commands [--markdown]\n");
            return 2;
        }
    }
    const std::string text = kolm::keCommandReference(markdown);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
