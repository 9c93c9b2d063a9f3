#include "silent_sink.h"

namespace media {

namespace {
// The queue is filled up to its full mark and then left to drain to its low
// mark before the playback thread is woken again: two wake-ups a second
// instead of one per block, which is most of the CPU time playback costs.
// What is queued is dropped, and decoded again, when a command stops or
// silences playback, so its size costs no latency.
constexpr long kQueueFullMilliseconds = 1000;
constexpr long kQueueLowMilliseconds = 500;
}  // namespace

bool SilentSink::open(long rate, int, PlaybackThread&) {
    if (rate <= 0)
        return false;
    clock_.emplace(rate, 1.0);
    queueFull_ = rate * kQueueFullMilliseconds / 1000;
    queueLow_ = rate * kQueueLowMilliseconds / 1000;
    return true;
}

AudioSink::Room SilentSink::room(Clock::time_point now) {
    const std::int64_t queued = clock_->queued(now);
    if (queued < queueFull_)
        return {static_cast<std::size_t>(queueFull_ - queued), now};
    return {0, clock_->whenQueuedAtMost(queueLow_, now)};
}

bool SilentSink::write(const std::int16_t*, std::size_t frames) {
    clock_->wrote(static_cast<std::int64_t>(frames), Clock::now());
    return true;
}

std::int64_t SilentSink::unheard(Clock::time_point now) { return clock_->queued(now); }

std::int64_t SilentSink::drop() { return clock_->dropAt(Clock::now()); }

std::int64_t SilentSink::pause() {
    clock_->pauseAt(Clock::now());
    return 0;
}

void SilentSink::resume() { clock_->resumeAt(Clock::now()); }

void SilentSink::close() { clock_.reset(); }

}  // namespace media
