#include "platform/KeSetupDialog.h"

namespace kolm {

bool CKeSetupDialogNull::run(const KeSetupDialogContent& content, KeSetupDialogAnswer* answer) {
    ++runs;
    shown = content;
    if (!start) return false;
    answer->selected = selectLine == -2 ? content.selected : selectLine;
    answer->fullScreen = fullScreen;
    return true;
}

}  // namespace kolm
