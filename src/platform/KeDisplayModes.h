// Display modes of the primary display, as the setup dialog lists them.
#pragma once

#include <vector>

namespace kolm {

struct KeDisplayMode {
    int width = 0;    // pixels
    int height = 0;   // pixels
    int bpp = 0;      // bits per pixel; an X depth of 24 counts as 32
    int refresh = 0;  // Hz, 0 when unknown
};

// What a source reports: every mode in the system's own order (duplicates included) and the
// desktop's current mode.
struct KeDisplayModeQuery {
    std::vector<KeDisplayMode> modes;
    KeDisplayMode desktop;
    bool hasDesktop = false;
};

class IKeDisplayModes {
public:
    virtual ~IKeDisplayModes() = default;
    // Fills the query; false when the display cannot be asked (no display, no RandR).
    virtual bool query(KeDisplayModeQuery* out) = 0;
};

// XRandR on the default display: the modes of the primary output (or the first connected one),
// all at the default visual's depth.
IKeDisplayModes* keX11DisplayModes();

// A fixed answer, for tests and headless runs.
class CKeDisplayModesNull : public IKeDisplayModes {
public:
    CKeDisplayModesNull() = default;
    explicit CKeDisplayModesNull(KeDisplayModeQuery answer) : m_answer(std::move(answer)) {}
    void setAnswer(KeDisplayModeQuery answer) { m_answer = std::move(answer); }
    bool query(KeDisplayModeQuery* out) override;

private:
    KeDisplayModeQuery m_answer;
};

}  // namespace kolm
