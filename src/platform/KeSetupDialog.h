// The setup dialog: asks for a display mode and full screen or windowed before the engine
// starts. The list content and the meaning of the answer belong to the caller (app/KeSetup);
// this is only the window.
//
// Window: caption "Kolm", black background, a banner picture (313 x 116), the mode list,
// "Full screen" / "Windowed", a "Start" picture button (240 x 19, pressed and released
// pictures) and a warning line in orange. Keys: Up/Down choose a mode, Left/Right/Tab choose
// full screen or windowed, Enter starts, Escape cancels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

struct KeSetupDialogContent {
    std::vector<std::string> modeLines;  // one line per mode, in list order
    int selected = -1;                   // preselected line, -1: none
    bool fullScreen = true;              // "Full screen" checked when the dialog opens
    std::string warning;                 // shown in orange; may hold several lines
};

struct KeSetupDialogAnswer {
    int selected = -1;  // chosen line, -1: none
    bool fullScreen = true;
};

class IKeSetupDialog {
public:
    virtual ~IKeSetupDialog() = default;
    // Runs the dialog modally. True when the user pressed Start (answer filled), false when it
    // was closed otherwise.
    virtual bool run(const KeSetupDialogContent& content, KeSetupDialogAnswer* answer) = 0;
};

// The X11 window. With alwaysShow false (the process-wide instance) an automated run (CI set
// and not "false" or "0") shows nothing and answers as if Start had been pressed on the
// preselection, so it never blocks. Without a display the same answer comes back.
class CKeSetupDialogX11 : public IKeSetupDialog {
public:
    explicit CKeSetupDialogX11(bool alwaysShow) : m_alwaysShow(alwaysShow) {}
    bool run(const KeSetupDialogContent& content, KeSetupDialogAnswer* answer) override;

private:
    bool m_alwaysShow;
};

IKeSetupDialog* keX11SetupDialog();

// Answers without a window: Start on the preselection (or on `selectLine` when set), or
// cancel. Remembers what it was shown.
class CKeSetupDialogNull : public IKeSetupDialog {
public:
    bool start = true;
    int selectLine = -2;  // -2: keep the preselection
    bool fullScreen = true;
    int runs = 0;
    KeSetupDialogContent shown;

    bool run(const KeSetupDialogContent& content, KeSetupDialogAnswer* answer) override;
};

// The dialog's artwork, drawn in code: pixels 0xRRGGBB, rows top to bottom.
constexpr int KE_SETUP_BANNER_WIDTH = 313;
constexpr int KE_SETUP_BANNER_HEIGHT = 116;
constexpr int KE_SETUP_BUTTON_WIDTH = 240;
constexpr int KE_SETUP_BUTTON_HEIGHT = 19;
std::vector<uint32_t> keDrawSetupBanner();
std::vector<uint32_t> keDrawStartButton(bool pressed);

}  // namespace kolm
