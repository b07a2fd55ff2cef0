#include "demo/KeDemoCapture.h"

#include "core/KeError.h"
#include "demo/KeDemoPlayer.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

namespace kolm {
namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// The 44-byte header of a PCM WAV file of `frames` 16-bit stereo frames.
void wavHeader(unsigned char* h, int64_t frames) {
    const uint32_t data = static_cast<uint32_t>(std::min<int64_t>(frames * 4, 0xFFFFFFFFll - 36));
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, 2);
    put32(h + 24, KeDemoWavWriter::RATE);
    put32(h + 28, KeDemoWavWriter::RATE * 4);
    put16(h + 32, 4);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
}

}  // namespace

void keDemoAbsolutePath(const char* path, char* out, int capacity) {
    std::error_code ec;
    std::filesystem::path p(path ? path : "");
    if (!p.empty() && p.is_relative()) {
        const std::filesystem::path abs = std::filesystem::absolute(p, ec);
        if (!ec) p = abs;
    }
    std::snprintf(out, static_cast<size_t>(capacity), "%s", p.string().c_str());
}

// --- progress ---------------------------------------------------------------------------------

KeDemoCaptureProgress::KeDemoCaptureProgress(bool show, int64_t first, int64_t total, double fps)
    : m_show(show && ::isatty(2)), m_logOnTerminal(::isatty(1) != 0), m_first(first), m_total(total), m_fps(fps),
      m_startNs(nowNs()) {}

void KeDemoCaptureProgress::frame(int64_t k, int32_t demoTimeMs) {
    ++m_written;
    if (!m_show) return;
    const int64_t now = nowNs();
    // A few times a second is enough for a person to read (and the line that was taken away
    // for a log line comes back at once).
    if (m_drawn && now - m_lastDrawNs < 100000000 && (m_total <= 0 || k + 1 < m_total)) return;
    m_lastDrawNs = now;
    const double seconds = static_cast<double>(now - m_startNs) / 1e9;
    const double rate = seconds > 0 ? static_cast<double>(m_written) / seconds : 0.0;
    char left[32] = "?";
    if (m_total > 0 && rate > 0) {
        const double remaining = static_cast<double>(m_total - 1 - k) / rate;
        std::snprintf(left, sizeof left, "%.0f s", remaining > 0 ? remaining : 0.0);
    }
    if (m_total > 0)
        std::fprintf(stderr, "\r\033[Kcapture: frame %lld of %lld, demo time %.2f s, %.1f frames/s, %s left",
                     static_cast<long long>(k), static_cast<long long>(m_total - 1), demoTimeMs / 1000.0, rate, left);
    else
        std::fprintf(stderr, "\r\033[Kcapture: frame %lld, demo time %.2f s, %.1f frames/s", static_cast<long long>(k),
                     demoTimeMs / 1000.0, rate);
    std::fflush(stderr);
    m_drawn = true;
}

void KeDemoCaptureProgress::clearLine() {
    // Log lines share the line only when they go to the terminal too.
    if (!m_drawn || !m_logOnTerminal) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_drawn = false;
}

void KeDemoCaptureProgress::finish() {
    if (m_drawn) std::fprintf(stderr, "\n");
    m_drawn = false;
    (void)m_first;
    (void)m_fps;
}

// --- WAV --------------------------------------------------------------------------------------

KeDemoWavWriter::~KeDemoWavWriter() {
    if (m_file) close();
}

int64_t KeDemoWavWriter::sampleAt(int64_t k) const {
    return static_cast<int64_t>(std::floor(static_cast<double>(k) * RATE / m_fps));
}

int KeDemoWavWriter::open(const char* path, double fps, int64_t from) {
    std::snprintf(m_path, sizeof m_path, "%s", path);
    m_fps = fps;
    m_from = from;
    m_frames = 0;
    m_failed = false;
    m_buffer.assign(static_cast<size_t>(2 * (std::ceil(RATE / fps) + 2)), 0);
    m_file = std::fopen(path, "wb");
    unsigned char header[44];
    wavHeader(header, 0);
    if (!m_file || std::fwrite(header, 1, sizeof header, m_file) != sizeof header) {
        if (m_file) std::fclose(m_file);
        m_file = nullptr;
        reportError("failed to write the capture sound to '%s'", path);
        return -1;
    }
    return 0;
}

void KeDemoWavWriter::frame(int64_t k, const DemoPlayState& st, IKeDemoBackend& be) {
    if (!m_file || k < m_from) return;
    const int64_t s0 = sampleAt(k);
    const int frames = static_cast<int>(sampleAt(k + 1) - s0);
    if (frames <= 0) return;
    int16_t* out = m_buffer.data();
    bool sound = false;
    if (st.musicId != -1) {
        // Position 0 of the music lies at clock time origin + musicRef.
        const int64_t baseMs = static_cast<int64_t>(st.origin) + st.musicRef;
        const int64_t first = s0 - baseMs * RATE / 1000;
        sound = be.musicSound(st.musicId, first, frames, out) == 0;
    }
    if (!sound) std::memset(out, 0, sizeof(int16_t) * 2 * static_cast<size_t>(frames));
    unsigned char bytes[4];
    for (int i = 0; i < 2 * frames; ++i) {
        put16(bytes, static_cast<uint16_t>(out[i]));
        if (std::fwrite(bytes, 1, 2, m_file) != 2) m_failed = true;
    }
    m_frames += frames;
}

int KeDemoWavWriter::close() {
    if (!m_file) return -1;
    unsigned char header[44];
    wavHeader(header, m_frames);
    if (std::fseek(m_file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, m_file) != sizeof header)
        m_failed = true;
    if (std::fclose(m_file) != 0) m_failed = true;
    m_file = nullptr;
    if (m_failed) {
        reportError("failed to write the capture sound to '%s'", m_path);
        return -1;
    }
    return 0;
}

}  // namespace kolm
