#include "silent_sink.h"

namespace media {

namespace {
// The queue is filled up to its full mark and then left to drain to its low
// mark before the playback thread is woken again: two wake-ups a second
// instead of one per block, which is most of the CPU time playback costs.
// What is queued is dropped, and decoded again, when a command halts or
// silences playback, so its size costs no latency; the reported position runs
// ahead of the (silent) listener by at most the full mark.
constexpr long kQueueFullMilliseconds = 1000;
constexpr long kQueueLowMilliseconds = 500;
}  // namespace

bool SilentSink::open(long rate, int) {
    if (rate <= 0)
        return false;
    clock_.emplace(rate, 1.0);
    queueFull_ = rate * kQueueFullMilliseconds / 1000;
    queueLow_ = rate * kQueueLowMilliseconds / 1000;
    return true;
}

bool SilentSink::write(const std::int16_t*, std::size_t frames) {
    clock_->wrote(static_cast<std::int64_t>(frames), PaceClock::Clock::now());
    return true;
}

PaceClock::Clock::time_point SilentSink::nextWriteAt(PaceClock::Clock::time_point now) const {
    if (clock_->queued(now) < queueFull_)
        return now;
    return clock_->whenQueuedAtMost(queueLow_, now);
}

std::int64_t SilentSink::drop() { return clock_->dropAt(PaceClock::Clock::now()); }

void SilentSink::pause() { clock_->pauseAt(PaceClock::Clock::now()); }

void SilentSink::resume() { clock_->resumeAt(PaceClock::Clock::now()); }

void SilentSink::close() { clock_.reset(); }

}  // namespace media
