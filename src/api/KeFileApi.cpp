#include "api/KeFileApi.h"

#include "platform/KeFileDialog.h"

#include <string>

namespace kolm {

const char* keFileRequester(const char* title) {
    static std::string chosen;
    chosen.clear();
    if (!keChooseFile(title ? title : "Open", nullptr, 0, &chosen)) return nullptr;
    return chosen.c_str();
}

}  // namespace kolm
