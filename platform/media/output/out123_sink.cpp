#include "out123_sink.h"

#include <dlfcn.h>
#include <mpg123.h>
#include <out123.h>

#include <algorithm>
#include <mutex>
#include <optional>

#include "pace_clock.h"

namespace media {

namespace {

// libout123 unloads its ALSA module after each failed open, and libasound
// with it, losing the configuration tree it parsed every time: on a machine
// without sound every file opened would leak that much. Kept
// loaded, the library parses its configuration once and reuses it.
void keepAlsaLoaded() {
    static std::once_flag once;
    std::call_once(once, [] { dlopen("libasound.so.2", RTLD_NOW | RTLD_NODELETE); });
}

// A block of 10 ms: the card takes it at once or within its duration.
constexpr long kBlocksPerSecond = 100;

// ALSA only: the library's own probe reaches modules that hang on a machine
// without sound. Writes block until the card takes them, which paces the
// playback thread. libout123 cannot tell how much the card still holds, so
// unheard() and drop() estimate it from the pace of the writes.
//
// pause() does not pause the library's output, which would close the
// device: it discards what the card holds, and the stream stays open and
// simply gets no samples until resume().
class Out123Sink final : public AudioSink {
public:
    ~Out123Sink() override { close(); }

    bool open(long rate, int channels, PlaybackThread&) override {
        keepAlsaLoaded();
        handle_ = out123_new();
        if (!handle_) return false;
        out123_param_int(handle_, OUT123_FLAGS, OUT123_QUIET);
        if (out123_open(handle_, "alsa", nullptr) != OUT123_OK ||
            out123_start(handle_, rate, channels, MPG123_ENC_SIGNED_16) != OUT123_OK) {
            out123_del(handle_);
            handle_ = nullptr;
            return false;
        }
        rate_ = rate;
        channels_ = channels;
        clock_.emplace(rate, 1.0);
        return true;
    }

    // The card's delay is not known: the last block counts as heard when
    // its duration has passed.
    Room room(Clock::time_point now) override {
        if (draining_) return drainingRoom(*clock_, now);
        return Room::open(static_cast<std::size_t>(std::max(1L, rate_ / kBlocksPerSecond)));
    }

    // The library stops short only when the card fails: what it took before
    // that is played.
    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        draining_ = false;
        const std::size_t frameBytes = static_cast<std::size_t>(channels_) * sizeof(std::int16_t);
        const std::size_t played =
            out123_play(handle_, const_cast<std::int16_t*>(samples), frames * frameBytes) / frameBytes;
        clock_->wrote(static_cast<std::int64_t>(played), Clock::now());
        return played;
    }

    void drain() override { draining_ = true; }
    std::int64_t unheard(Clock::time_point now) override { return clock_->queued(now); }

    std::int64_t drop() override {
        draining_ = false;
        out123_drop(handle_);
        return clock_->dropAt(Clock::now());
    }

    std::int64_t pause() override {
        const std::int64_t discarded = drop();
        clock_->pauseAt(Clock::now());
        return discarded;
    }

    void resume() override { clock_->resumeAt(Clock::now()); }

    void close() override {
        if (!handle_) return;
        out123_drop(handle_);
        out123_close(handle_);
        out123_del(handle_);
        handle_ = nullptr;
    }

private:
    out123_struct* handle_ = nullptr;
    long rate_ = 0;
    int channels_ = 0;
    std::optional<PaceClock> clock_;
    bool draining_ = false;
};

}  // namespace

std::unique_ptr<AudioSink> makeAlsaSink() { return std::make_unique<Out123Sink>(); }

}  // namespace media
