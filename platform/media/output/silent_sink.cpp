#include "silent_sink.h"

#include <optional>

#include "pace_clock.h"

namespace media {

namespace {

// The queue is filled up to its full mark and then left to drain to its low
// mark before the playback thread is woken again: a wake-up each half of
// the queue instead of one per block, which is most of the CPU time
// playback costs.
// What is queued is dropped, and decoded again, when a command stops or
// silences playback, so its size costs no latency.
constexpr long kQueueFullMilliseconds = 1000;
constexpr long kQueueLowMilliseconds = 500;

class SilentSink final : public AudioSink {
public:
    bool open(long rate, int, PlaybackThread&) override {
        if (rate <= 0) return false;
        clock_.emplace(rate, 1.0);
        queueFull_ = rate * kQueueFullMilliseconds / 1000;
        queueLow_ = rate * kQueueLowMilliseconds / 1000;
        return true;
    }

    Room room(Clock::time_point now) override {
        const std::int64_t queued = clock_->queued(now);
        if (draining_) return drainingRoom(*clock_, now);
        if (queued < queueFull_) return Room::open(static_cast<std::size_t>(queueFull_ - queued));
        return Room::full(clock_->whenQueuedAtMost(queueLow_, now));
    }

    std::size_t write(const std::int16_t*, std::size_t frames) override {
        clock_->wrote(static_cast<std::int64_t>(frames), Clock::now());
        draining_ = false;
        return frames;
    }

    void drain() override { draining_ = true; }
    std::int64_t unheard(Clock::time_point now) override { return clock_->queued(now); }
    std::int64_t drop() override {
        draining_ = false;
        return clock_->dropAt(Clock::now());
    }

    // Like a sound server's stream, it halts and keeps what it holds.
    std::int64_t pause() override {
        draining_ = false;
        clock_->pauseAt(Clock::now());
        return 0;
    }
    void resume() override { clock_->resumeAt(Clock::now()); }
    void close() override { clock_.reset(); }

private:
    std::optional<PaceClock> clock_;
    std::int64_t queueFull_ = 0;
    std::int64_t queueLow_ = 0;
    bool draining_ = false;
};

}  // namespace

std::unique_ptr<AudioSink> makeSilentSink() { return std::make_unique<SilentSink>(); }

}  // namespace media
