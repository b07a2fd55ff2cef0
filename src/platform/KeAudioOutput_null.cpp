#include "platform/KeAudioOutput.h"

namespace kolm {

CKeAudioOutputNull::~CKeAudioOutputNull() { close(); }

bool CKeAudioOutputNull::open(const KeAudioSpec& format, KeAudioFill fill, void* user) {
    if (!fill || format.sampleRate <= 0 || format.channels < 1) return false;
    close();
    format_ = format;
    fill_ = fill;
    user_ = user;
    paused_ = true;
    return true;
}

void CKeAudioOutputNull::close() {
    fill_ = nullptr;
    user_ = nullptr;
    paused_ = true;
}

void CKeAudioOutputNull::setPaused(bool paused) { paused_ = paused; }

void CKeAudioOutputNull::pump(int frames) {
    if (frames <= 0) return;
    buffer_.assign(static_cast<size_t>(frames) * static_cast<size_t>(format_.channels), 0.0f);
    if (fill_ && !paused_) fill_(user_, buffer_.data(), frames);
}

}  // namespace kolm
