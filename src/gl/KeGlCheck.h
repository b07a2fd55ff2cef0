// GL error checks. Every GL error is reported where it is found, with the place that found it;
// none is read and thrown away.
#pragma once

namespace kolm {

// Reads every pending GL error and logs each at ERROR as "GL error 0x%04x (NAME) in WHERE".
// True when there was none. Call right after the GL work named by `where`.
bool keGlCheck(const char* where);

// Before GL work of our own: errors already pending were raised by earlier code (the library or
// another caller). Each is logged at WARN as "GL error 0x%04x (NAME) pending before WHERE", so
// that the next keGlCheck reports only what the work itself raised.
void keGlCheckBefore(const char* where);

// The GL name of an error code ("GL_INVALID_OPERATION"), or "unknown".
const char* keGlErrorName(unsigned int error);

}  // namespace kolm
