#include "platform/KeDisplayModes.h"

#include <X11/Xlib.h>
#include "platform/KeX11.h"
#include <unistd.h>
#include <cstdlib>
#include <X11/extensions/Xrandr.h>

namespace kolm {
namespace {



int refreshOf(const XRRModeInfo& m) {
    if (m.hTotal == 0 || m.vTotal == 0) return 0;
    double vTotal = m.vTotal;
    if (m.modeFlags & RR_DoubleScan) vTotal *= 2;
    if (m.modeFlags & RR_Interlace) vTotal /= 2;
    return static_cast<int>(static_cast<double>(m.dotClock) / (m.hTotal * vTotal) + 0.5);
}

const XRRModeInfo* findMode(const XRRScreenResources* res, RRMode id) {
    for (int i = 0; i < res->nmode; ++i) {
        if (res->modes[i].id == id) return &res->modes[i];
    }
    return nullptr;
}

class CKeDisplayModesX11 : public IKeDisplayModes {
public:
    bool query(KeDisplayModeQuery* out) override {
        *out = KeDisplayModeQuery();
        Display* dpy = keOpenX11Display();
        if (!dpy) return false;
        const int screen = DefaultScreen(dpy);
        int depth = DefaultDepth(dpy, screen);
        if (depth == 24) depth = 32;  // 24 colour bits in a 32-bit pixel

        out->desktop.width = DisplayWidth(dpy, screen);
        out->desktop.height = DisplayHeight(dpy, screen);
        out->desktop.bpp = depth;
        out->hasDesktop = true;

        int eventBase = 0, errorBase = 0;
        bool ok = false;
        if (XRRQueryExtension(dpy, &eventBase, &errorBase)) {
            const Window root = RootWindow(dpy, screen);
            XRRScreenResources* res = XRRGetScreenResourcesCurrent(dpy, root);
            if (res) {
                RROutput output = XRRGetOutputPrimary(dpy, root);
                XRROutputInfo* info = output ? XRRGetOutputInfo(dpy, res, output) : nullptr;
                if (!info || info->connection != RR_Connected) {
                    if (info) XRRFreeOutputInfo(info);
                    info = nullptr;
                    for (int i = 0; i < res->noutput && !info; ++i) {
                        XRROutputInfo* candidate = XRRGetOutputInfo(dpy, res, res->outputs[i]);
                        if (candidate && candidate->connection == RR_Connected && candidate->nmode > 0) {
                            info = candidate;
                        } else if (candidate) {
                            XRRFreeOutputInfo(candidate);
                        }
                    }
                }
                if (info) {
                    for (int i = 0; i < info->nmode; ++i) {
                        const XRRModeInfo* m = findMode(res, info->modes[i]);
                        if (!m) continue;
                        KeDisplayMode mode;
                        mode.width = static_cast<int>(m->width);
                        mode.height = static_cast<int>(m->height);
                        mode.bpp = depth;
                        mode.refresh = refreshOf(*m);
                        out->modes.push_back(mode);
                    }
                    if (info->crtc) {
                        XRRCrtcInfo* crtc = XRRGetCrtcInfo(dpy, res, info->crtc);
                        if (crtc && crtc->width > 0 && crtc->height > 0) {
                            out->desktop.width = static_cast<int>(crtc->width);
                            out->desktop.height = static_cast<int>(crtc->height);
                        }
                        if (crtc) XRRFreeCrtcInfo(crtc);
                    }
                    XRRFreeOutputInfo(info);
                    ok = true;
                }
                XRRFreeScreenResources(res);
            }
        }
        if (!ok) {
            // No RandR outputs (some virtual servers): the one mode the screen has.
            out->modes.push_back(out->desktop);
        }
        XCloseDisplay(dpy);
        return true;
    }
};

}  // namespace

IKeDisplayModes* keX11DisplayModes() {
    static CKeDisplayModesX11 instance;
    return &instance;
}

}  // namespace kolm
