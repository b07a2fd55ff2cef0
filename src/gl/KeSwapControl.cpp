#include "gl/KeSwapControl.h"

#include <epoxy/gl.h>
#include <epoxy/glx.h>

namespace kolm {

bool keGlSetSwapInterval(int interval) {
    Display* dpy = glXGetCurrentDisplay();
    GLXContext context = glXGetCurrentContext();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!dpy || !context || !drawable || !glXIsDirect(dpy, context)) return false;
    const int screen = DefaultScreen(dpy);
    if (epoxy_has_glx_extension(dpy, screen, "GLX_MESA_swap_control")) return glXSwapIntervalMESA(interval) == 0;
    if (epoxy_has_glx_extension(dpy, screen, "GLX_EXT_swap_control")) {
        glXSwapIntervalEXT(dpy, drawable, interval);
        return true;
    }
    return false;
}

}  // namespace kolm
