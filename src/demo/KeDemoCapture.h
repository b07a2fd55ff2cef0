// Pieces of demo capture: the absolute base name, the progress line on the terminal and the
// WAV file of the captured range's music.
#pragma once

#include "demo/IKeDemoBackend.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace kolm {

struct DemoPlayState;

// `path` made absolute against the working directory of now (a relative capture base must not
// follow the directory changes of loading). Cut to capacity.
void keDemoAbsolutePath(const char* path, char* out, int capacity);

// One line on standard error, rewritten in place: frame, demo time, frames per second and the
// time left. Shown only when asked and standard error is a terminal.
class KeDemoCaptureProgress {
public:
    // total: frames the capture ends before (estimated), or 0 when unknown.
    KeDemoCaptureProgress(bool show, int64_t first, int64_t total, double fps);
    void frame(int64_t k, int32_t demoTimeMs);
    // Takes the line away while other output is written to the terminal (it comes back with
    // the next frame).
    void clearLine();
    // Ends the line.
    void finish();

private:
    bool m_show;
    bool m_logOnTerminal;
    int64_t m_first, m_total;
    double m_fps;
    int64_t m_startNs = 0;
    int64_t m_written = 0;
    int64_t m_lastDrawNs = 0;
    bool m_drawn = false;
};

// The music heard during the captured frames, as a 44.1 kHz 16-bit stereo WAV file: capture
// frame k covers the samples floor(k x 44100 / fps) up to floor((k + 1) x 44100 / fps), so the
// files of consecutive frame ranges join without a gap or an overlap.
class KeDemoWavWriter {
public:
    static constexpr int RATE = 44100;
    ~KeDemoWavWriter();
    // Opens `path` for a capture at `fps` whose first written frame is `from`. 0 or -1
    // ("failed to write the capture sound to '%s'").
    int open(const char* path, double fps, int64_t from);
    bool isOpen() const { return m_file != nullptr; }
    // The sound of frame k with the music the state plays; frames before `from` are skipped.
    void frame(int64_t k, const DemoPlayState& state, IKeDemoBackend& backend);
    // Completes the header and closes. 0 or -1.
    int close();

private:
    int64_t sampleAt(int64_t k) const;
    std::FILE* m_file = nullptr;
    double m_fps = 30.0;
    int64_t m_from = 0;
    int64_t m_frames = 0;  // frames (stereo pairs) written
    bool m_failed = false;
    std::vector<int16_t> m_buffer;  // one capture frame's sound, made once
    char m_path[4096] = {};
};

}  // namespace kolm
