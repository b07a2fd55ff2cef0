// CKeMusicPlayer: libmpg123 decodes the player's own copy of the MP3 block, on the audio
// device's thread, straight into the device buffer.
//
// Timeline: `timeline_` is the stream frame the next device buffer starts at. The position is
// kept as stream time in nanoseconds (sub-frame, so that whole milliseconds read back exactly).
// Every device callback records the stream time its buffer starts at (anchor) and the clock at
// that moment; while playing the position is anchor + elapsed clock time, capped at the end of
// what was handed. The cap makes the position continuous across callbacks (it can never get
// ahead of the next anchor), and a last-read floor keeps it from ever stepping back.
// Pausing freezes that position and seeks the decoder to it, so playing on resumes exactly
// where the position stood.
//
// Everything the callback touches is guarded by the output's lock.
#include "music/IKeMusicPlayer.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace kolm {

namespace {

std::once_flag g_mpg123Once;
bool g_mpg123Ready = false;

class CKeMusicPlayer : public IKeMusicPlayer {
public:
    CKeMusicPlayer(std::unique_ptr<IKeAudioOutput> output, mpg123_handle* decoder)
        : m_out(std::move(output)), m_mh(decoder) {}

    ~CKeMusicPlayer() override {
        release();
        mpg123_delete(m_mh);
    }

    int load(const void* block, size_t size) override {
        release();
        if (!block || size == 0) return KE_MUSIC_NOT_MP3;
        const auto* bytes = static_cast<const unsigned char*>(block);
        m_data.assign(bytes, bytes + size);
        m_readPos = 0;

        if (!openDecoder()) {
            release();
            return KE_MUSIC_NOT_MP3;
        }
        KeAudioSpec format;
        format.sampleRate = m_rate;
        format.channels = m_channels;
        if (!m_out->open(format, &CKeMusicPlayer::fillThunk, this)) {
            release();
            return KE_MUSIC_NO_OUTPUT;
        }
        m_running = false;
        m_timeline = 0;
        m_frozenNs = m_anchorNs = m_anchorClock = m_handedEndNs = m_lastNs = 0;
        m_decoderFailed = false;
        m_attenuation = KE_MUSIC_FULL;
        m_gain = 1.0f;
        m_loaded = true;
        return KE_MUSIC_LOADED;
    }

    void play() override {
        if (!m_loaded) return;
        m_out->lock();
        const bool start = !m_running;
        if (start) {
            m_running = true;
            // Stands still until the device takes the first buffer.
            setAnchor(m_frozenNs, m_out->clockNs());
        }
        m_out->unlock();
        if (start) m_out->setPaused(false);
    }

    void pause() override {
        if (!m_loaded) return;
        m_out->setPaused(true);  // no callback in progress from here on
        m_out->lock();
        if (m_running) {
            const int64_t frozen = positionNs(m_out->clockNs());
            m_running = false;
            seekDecoder(frozen);
        }
        m_out->unlock();
    }

    void stop() override {
        if (!m_loaded) return;
        m_out->setPaused(true);
        m_out->lock();
        m_running = false;
        seekDecoder(0);
        m_out->unlock();
    }

    int setPosition(int ms) override {
        if (!m_loaded || ms < 0) return -1;
        const int64_t target = std::min(static_cast<int64_t>(ms) * 1000000, framesToNs(m_length));
        m_out->lock();
        const bool ok = seekDecoder(target);
        if (m_running) setAnchor(target, m_out->clockNs());
        m_out->unlock();
        return ok ? 0 : -1;
    }

    int getPosition() override {
        if (!m_loaded) return -1;
        m_out->lock();
        const int64_t ns = positionNs(m_out->clockNs());
        m_out->unlock();
        return static_cast<int>(ns / 1000000);
    }

    void setVolume(int attenuation) override {
        if (!m_loaded) return;
        attenuation = std::clamp(attenuation, KE_MUSIC_SILENT, KE_MUSIC_FULL);
        const float gain =
            attenuation <= KE_MUSIC_SILENT ? 0.0f : static_cast<float>(std::pow(10.0, attenuation / 2000.0));
        m_out->lock();
        m_attenuation = attenuation;
        m_gain = gain;
        m_out->unlock();
    }

    int getVolume() override { return m_loaded ? m_attenuation : 0; }

    void release() override {
        // The device goes first: once closed, its thread can no longer reach the decoder or
        // the copy freed below.
        m_out->close();
        mpg123_close(m_mh);
        std::vector<unsigned char>().swap(m_data);
        m_readPos = 0;
        m_loaded = false;
        m_running = false;
        m_rate = m_channels = 0;
        m_length = 0;
    }

    bool isLoaded() const override { return m_loaded; }
    bool isPlaying() const override { return m_loaded && m_running; }
    int64_t lengthFrames() const override { return m_length; }
    int sampleRate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    IKeAudioOutput* output() override { return m_out.get(); }

private:
    // --- decoder set-up ---------------------------------------------------------------------

    bool openDecoder() {
        mpg123_param(m_mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
        // Float output at the stream's own rate and channel count; SDL converts for the device.
        mpg123_format_none(m_mh);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(m_mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

        if (mpg123_replace_reader_handle(m_mh, &CKeMusicPlayer::readThunk, &CKeMusicPlayer::seekThunk, nullptr) !=
            MPG123_OK)
            return false;
        if (mpg123_open_handle(m_mh, this) != MPG123_OK) return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(m_mh, &rate, &channels, &encoding) != MPG123_OK) return false;
        if (encoding != MPG123_ENC_FLOAT_32 || rate <= 0 || channels < 1 || channels > 2) return false;
        // Keep the output format fixed for the whole stream.
        mpg123_format_none(m_mh);
        mpg123_format(m_mh, rate, channels, MPG123_ENC_FLOAT_32);
        // A full scan gives the exact length and the seek index that makes seeks sample-exact.
        if (mpg123_scan(m_mh) != MPG123_OK) return false;
        const off_t length = mpg123_length(m_mh);
        if (length <= 0) return false;
        if (mpg123_seek(m_mh, 0, SEEK_SET) != 0) return false;
        m_rate = static_cast<int>(rate);
        m_channels = channels;
        m_length = length;
        return true;
    }

    static mpg123_ssize_t readThunk(void* handle, void* buffer, size_t count) {
        auto* self = static_cast<CKeMusicPlayer*>(handle);
        const size_t left = self->m_data.size() - self->m_readPos;
        count = std::min(count, left);
        std::memcpy(buffer, self->m_data.data() + self->m_readPos, count);
        self->m_readPos += count;
        return static_cast<mpg123_ssize_t>(count);
    }

    static off_t seekThunk(void* handle, off_t offset, int whence) {
        auto* self = static_cast<CKeMusicPlayer*>(handle);
        off_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<off_t>(self->m_readPos);
        else if (whence == SEEK_END)
            base = static_cast<off_t>(self->m_data.size());
        else if (whence != SEEK_SET)
            return -1;
        const off_t target = base + offset;
        if (target < 0 || target > static_cast<off_t>(self->m_data.size())) return -1;
        self->m_readPos = static_cast<size_t>(target);
        return target;
    }

    // --- timeline (output lock held) ----------------------------------------------------------

    int64_t framesToNs(int64_t frames) const { return frames * 1000000000 / m_rate; }

    // The anchor is where the position stands until the device takes a buffer.
    void setAnchor(int64_t streamNs, int64_t now) {
        m_anchorNs = streamNs;
        m_anchorClock = now;
        m_handedEndNs = streamNs;
        m_lastNs = streamNs;
    }

    int64_t positionNs(int64_t now) {
        if (!m_running) return m_frozenNs;
        int64_t ns = m_anchorNs + std::max<int64_t>(0, now - m_anchorClock);
        ns = std::min(ns, m_handedEndNs);
        ns = std::max(ns, m_lastNs);
        m_lastNs = ns;
        return ns;
    }

    // Moves the decoder to stream time ns (the first frame at or after it) and freezes the
    // position there.
    bool seekDecoder(int64_t ns) {
        m_frozenNs = ns;
        m_timeline = std::min((ns * m_rate + 999999999) / 1000000000, m_length);
        const off_t got = mpg123_seek(m_mh, static_cast<off_t>(m_timeline), SEEK_SET);
        m_decoderFailed = got < 0;
        return !m_decoderFailed;
    }

    // --- device thread ------------------------------------------------------------------------

    static void fillThunk(void* user, float* out, int frames) { static_cast<CKeMusicPlayer*>(user)->fill(out, frames); }

    void fill(float* out, int frames) {
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(m_channels);
        if (!m_running) {
            std::memset(out, 0, frameBytes * static_cast<size_t>(frames));
            return;
        }
        const int64_t now = m_out->clockNs();
        const int64_t start = m_timeline;
        const int64_t wanted = std::clamp<int64_t>(m_length - m_timeline, 0, frames);
        int64_t got = 0;
        int idle = 0;
        while (!m_decoderFailed && got < wanted && idle < 4) {
            size_t bytes = 0;
            const int err = mpg123_read(m_mh, reinterpret_cast<unsigned char*>(out + got * m_channels),
                                        static_cast<size_t>(wanted - got) * frameBytes, &bytes);
            got += static_cast<int64_t>(bytes / frameBytes);
            if (err == MPG123_DONE) break;
            if (err != MPG123_OK && err != MPG123_NEW_FORMAT) m_decoderFailed = true;
            idle = bytes == 0 ? idle + 1 : 0;
        }
        if (m_gain != 1.0f) {
            for (int64_t i = 0, n = got * m_channels; i < n; ++i) out[i] *= m_gain;
        }
        std::memset(out + got * m_channels, 0, frameBytes * static_cast<size_t>(frames - got));
        // Time runs on over frames the decoder could not give (they play as silence).
        m_timeline += wanted;
        // The buffer's first frame may lie a fraction of a frame after the position (after a
        // seek or resume): the floor in positionNs keeps it from stepping back.
        m_anchorNs = std::max(framesToNs(start), m_lastNs);
        m_anchorClock = now;
        m_handedEndNs = std::max(framesToNs(m_timeline), m_anchorNs);
    }

    std::unique_ptr<IKeAudioOutput> m_out;
    mpg123_handle* m_mh;
    std::vector<unsigned char> m_data;  // the player's copy of the MP3 block
    size_t m_readPos = 0;
    bool m_loaded = false;
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_length = 0;  // frames

    // Shared with the device thread (output lock).
    bool m_running = false;
    bool m_decoderFailed = false;
    int64_t m_timeline = 0;     // frame the next buffer starts at
    int64_t m_frozenNs = 0;     // position while not running (stream ns)
    int64_t m_anchorNs = 0;     // stream ns where the last handed buffer starts
    int64_t m_anchorClock = 0;  // output clock when it was handed
    int64_t m_handedEndNs = 0;  // stream ns where the handed audio ends
    int64_t m_lastNs = 0;       // last position read while running
    int m_attenuation = KE_MUSIC_FULL;
    float m_gain = 1.0f;
};

}  // namespace

std::unique_ptr<IKeMusicPlayer> keCreateMusicPlayer(std::unique_ptr<IKeAudioOutput> output) {
    if (!output) return nullptr;
    std::call_once(g_mpg123Once, [] { g_mpg123Ready = mpg123_init() == MPG123_OK; });
    if (!g_mpg123Ready) return nullptr;
    int err = MPG123_OK;
    mpg123_handle* decoder = mpg123_new(nullptr, &err);
    if (!decoder) return nullptr;
    return std::make_unique<CKeMusicPlayer>(std::move(output), decoder);
}

}  // namespace kolm
