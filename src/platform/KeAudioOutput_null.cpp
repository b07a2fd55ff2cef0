#include "platform/KeAudioOutput.h"

namespace kolm {

CKeAudioOutputNull::~CKeAudioOutputNull() { close(); }

bool CKeAudioOutputNull::open(const KeAudioSpec& format, KeAudioFill fill, void* user) {
    if (!fill || format.sampleRate <= 0 || format.channels < 1) return false;
    close();
    m_format = format;
    m_fill = fill;
    m_user = user;
    m_paused = true;
    return true;
}

void CKeAudioOutputNull::close() {
    m_fill = nullptr;
    m_user = nullptr;
    m_paused = true;
}

void CKeAudioOutputNull::setPaused(bool paused) { m_paused = paused; }

void CKeAudioOutputNull::pump(int frames) {
    if (frames <= 0) return;
    m_buffer.assign(static_cast<size_t>(frames) * static_cast<size_t>(m_format.channels), 0.0f);
    if (m_fill && !m_paused) m_fill(m_user, m_buffer.data(), frames);
}

}  // namespace kolm
