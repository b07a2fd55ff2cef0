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
        : out_(std::move(output)), mh_(decoder) {}

    ~CKeMusicPlayer() override {
        release();
        mpg123_delete(mh_);
    }

    int load(const void* block, size_t size) override {
        release();
        if (!block || size == 0) return KE_MUSIC_NOT_MP3;
        const auto* bytes = static_cast<const unsigned char*>(block);
        data_.assign(bytes, bytes + size);
        readPos_ = 0;

        if (!openDecoder()) {
            release();
            return KE_MUSIC_NOT_MP3;
        }
        KeAudioSpec format;
        format.sampleRate = rate_;
        format.channels = channels_;
        if (!out_->open(format, &CKeMusicPlayer::fillThunk, this)) {
            release();
            return KE_MUSIC_NO_OUTPUT;
        }
        running_ = false;
        timeline_ = 0;
        frozenNs_ = anchorNs_ = anchorClock_ = handedEndNs_ = lastNs_ = 0;
        decoderFailed_ = false;
        attenuation_ = KE_MUSIC_FULL;
        gain_ = 1.0f;
        loaded_ = true;
        return KE_MUSIC_LOADED;
    }

    void play() override {
        if (!loaded_) return;
        out_->lock();
        const bool start = !running_;
        if (start) {
            running_ = true;
            // Stands still until the device takes the first buffer.
            setAnchor(frozenNs_, out_->clockNs());
        }
        out_->unlock();
        if (start) out_->setPaused(false);
    }

    void pause() override {
        if (!loaded_) return;
        out_->setPaused(true);  // no callback in progress from here on
        out_->lock();
        if (running_) {
            const int64_t frozen = positionNs(out_->clockNs());
            running_ = false;
            seekDecoder(frozen);
        }
        out_->unlock();
    }

    void stop() override {
        if (!loaded_) return;
        out_->setPaused(true);
        out_->lock();
        running_ = false;
        seekDecoder(0);
        out_->unlock();
    }

    int setPosition(int ms) override {
        if (!loaded_ || ms < 0) return -1;
        const int64_t target = std::min(static_cast<int64_t>(ms) * 1000000, framesToNs(length_));
        out_->lock();
        const bool ok = seekDecoder(target);
        if (running_) setAnchor(target, out_->clockNs());
        out_->unlock();
        return ok ? 0 : -1;
    }

    int getPosition() override {
        if (!loaded_) return -1;
        out_->lock();
        const int64_t ns = positionNs(out_->clockNs());
        out_->unlock();
        return static_cast<int>(ns / 1000000);
    }

    void setVolume(int attenuation) override {
        if (!loaded_) return;
        attenuation = std::clamp(attenuation, KE_MUSIC_SILENT, KE_MUSIC_FULL);
        const float gain =
            attenuation <= KE_MUSIC_SILENT ? 0.0f : static_cast<float>(std::pow(10.0, attenuation / 2000.0));
        out_->lock();
        attenuation_ = attenuation;
        gain_ = gain;
        out_->unlock();
    }

    int getVolume() override { return loaded_ ? attenuation_ : 0; }

    void release() override {
        // The device goes first: once closed, its thread can no longer reach the decoder or
        // the copy freed below.
        out_->close();
        mpg123_close(mh_);
        std::vector<unsigned char>().swap(data_);
        readPos_ = 0;
        loaded_ = false;
        running_ = false;
        rate_ = channels_ = 0;
        length_ = 0;
    }

    bool isLoaded() const override { return loaded_; }
    bool isPlaying() const override { return loaded_ && running_; }
    int64_t lengthFrames() const override { return length_; }
    int sampleRate() const override { return rate_; }
    int channels() const override { return channels_; }
    IKeAudioOutput* output() override { return out_.get(); }

private:
    // --- decoder set-up ---------------------------------------------------------------------

    bool openDecoder() {
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
        // Float output at the stream's own rate and channel count; SDL converts for the device.
        mpg123_format_none(mh_);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

        if (mpg123_replace_reader_handle(mh_, &CKeMusicPlayer::readThunk, &CKeMusicPlayer::seekThunk, nullptr) !=
            MPG123_OK)
            return false;
        if (mpg123_open_handle(mh_, this) != MPG123_OK) return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK) return false;
        if (encoding != MPG123_ENC_FLOAT_32 || rate <= 0 || channels < 1 || channels > 2) return false;
        // Keep the output format fixed for the whole stream.
        mpg123_format_none(mh_);
        mpg123_format(mh_, rate, channels, MPG123_ENC_FLOAT_32);
        // A full scan gives the exact length and the seek index that makes seeks sample-exact.
        if (mpg123_scan(mh_) != MPG123_OK) return false;
        const off_t length = mpg123_length(mh_);
        if (length <= 0) return false;
        if (mpg123_seek(mh_, 0, SEEK_SET) != 0) return false;
        rate_ = static_cast<int>(rate);
        channels_ = channels;
        length_ = length;
        return true;
    }

    static mpg123_ssize_t readThunk(void* handle, void* buffer, size_t count) {
        auto* self = static_cast<CKeMusicPlayer*>(handle);
        const size_t left = self->data_.size() - self->readPos_;
        count = std::min(count, left);
        std::memcpy(buffer, self->data_.data() + self->readPos_, count);
        self->readPos_ += count;
        return static_cast<mpg123_ssize_t>(count);
    }

    static off_t seekThunk(void* handle, off_t offset, int whence) {
        auto* self = static_cast<CKeMusicPlayer*>(handle);
        off_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<off_t>(self->readPos_);
        else if (whence == SEEK_END)
            base = static_cast<off_t>(self->data_.size());
        else if (whence != SEEK_SET)
            return -1;
        const off_t target = base + offset;
        if (target < 0 || target > static_cast<off_t>(self->data_.size())) return -1;
        self->readPos_ = static_cast<size_t>(target);
        return target;
    }

    // --- timeline (output lock held) ----------------------------------------------------------

    int64_t framesToNs(int64_t frames) const { return frames * 1000000000 / rate_; }

    // The anchor is where the position stands until the device takes a buffer.
    void setAnchor(int64_t streamNs, int64_t now) {
        anchorNs_ = streamNs;
        anchorClock_ = now;
        handedEndNs_ = streamNs;
        lastNs_ = streamNs;
    }

    int64_t positionNs(int64_t now) {
        if (!running_) return frozenNs_;
        int64_t ns = anchorNs_ + std::max<int64_t>(0, now - anchorClock_);
        ns = std::min(ns, handedEndNs_);
        ns = std::max(ns, lastNs_);
        lastNs_ = ns;
        return ns;
    }

    // Moves the decoder to stream time ns (the first frame at or after it) and freezes the
    // position there.
    bool seekDecoder(int64_t ns) {
        frozenNs_ = ns;
        timeline_ = std::min((ns * rate_ + 999999999) / 1000000000, length_);
        const off_t got = mpg123_seek(mh_, static_cast<off_t>(timeline_), SEEK_SET);
        decoderFailed_ = got < 0;
        return !decoderFailed_;
    }

    // --- device thread ------------------------------------------------------------------------

    static void fillThunk(void* user, float* out, int frames) { static_cast<CKeMusicPlayer*>(user)->fill(out, frames); }

    void fill(float* out, int frames) {
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(channels_);
        if (!running_) {
            std::memset(out, 0, frameBytes * static_cast<size_t>(frames));
            return;
        }
        const int64_t now = out_->clockNs();
        const int64_t start = timeline_;
        const int64_t wanted = std::clamp<int64_t>(length_ - timeline_, 0, frames);
        int64_t got = 0;
        int idle = 0;
        while (!decoderFailed_ && got < wanted && idle < 4) {
            size_t bytes = 0;
            const int err = mpg123_read(mh_, reinterpret_cast<unsigned char*>(out + got * channels_),
                                        static_cast<size_t>(wanted - got) * frameBytes, &bytes);
            got += static_cast<int64_t>(bytes / frameBytes);
            if (err == MPG123_DONE) break;
            if (err != MPG123_OK && err != MPG123_NEW_FORMAT) decoderFailed_ = true;
            idle = bytes == 0 ? idle + 1 : 0;
        }
        if (gain_ != 1.0f) {
            for (int64_t i = 0, n = got * channels_; i < n; ++i) out[i] *= gain_;
        }
        std::memset(out + got * channels_, 0, frameBytes * static_cast<size_t>(frames - got));
        // Time runs on over frames the decoder could not give (they play as silence).
        timeline_ += wanted;
        // The buffer's first frame may lie a fraction of a frame after the position (after a
        // seek or resume): the floor in positionNs keeps it from stepping back.
        anchorNs_ = std::max(framesToNs(start), lastNs_);
        anchorClock_ = now;
        handedEndNs_ = std::max(framesToNs(timeline_), anchorNs_);
    }

    std::unique_ptr<IKeAudioOutput> out_;
    mpg123_handle* mh_;
    std::vector<unsigned char> data_;  // the player's copy of the MP3 block
    size_t readPos_ = 0;
    bool loaded_ = false;
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;  // frames

    // Shared with the device thread (output lock).
    bool running_ = false;
    bool decoderFailed_ = false;
    int64_t timeline_ = 0;     // frame the next buffer starts at
    int64_t frozenNs_ = 0;     // position while not running (stream ns)
    int64_t anchorNs_ = 0;     // stream ns where the last handed buffer starts
    int64_t anchorClock_ = 0;  // output clock when it was handed
    int64_t handedEndNs_ = 0;  // stream ns where the handed audio ends
    int64_t lastNs_ = 0;       // last position read while running
    int attenuation_ = KE_MUSIC_FULL;
    float gain_ = 1.0f;
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
