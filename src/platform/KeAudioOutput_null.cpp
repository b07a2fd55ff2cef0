#include "platform/KeAudioOutput.h"

namespace kolm {

CKeAudioOutputNull::~CKeAudioOutputNull() { close(); }

bool CKeAudioOutputNull::open(const KeAudioSpec& spec, KeAudioFill fill, void* user) {
    if (!fill || spec.sampleRate <= 0 || spec.channels < 1) return false;
    close();
    spec_ = spec;
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
    buffer_.assign(static_cast<size_t>(frames) * static_cast<size_t>(spec_.channels), 0.0f);
    if (fill_ && !paused_) fill_(user_, buffer_.data(), frames);
}

}  // namespace kolm
