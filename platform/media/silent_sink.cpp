#include "silent_sink.h"

#include <thread>

namespace media {

namespace {
// As much as a sound server typically keeps queued; bounds how far ahead of
// the listener the playback thread may run.
constexpr long kQueueMilliseconds = 20;
}  // namespace

bool SilentSink::open(long rate, int) {
    if (rate <= 0)
        return false;
    clock_.emplace(rate, 1.0);
    queueLimit_ = rate * kQueueMilliseconds / 1000;
    return true;
}

bool SilentSink::write(const std::int16_t*, std::size_t frames) {
    const auto now = PaceClock::Clock::now();
    clock_->wrote(static_cast<std::int64_t>(frames), now);
    std::this_thread::sleep_until(clock_->whenQueuedAtMost(queueLimit_, now));
    return true;
}

std::int64_t SilentSink::drop() { return clock_->dropAt(PaceClock::Clock::now()); }

void SilentSink::pause() { clock_->pauseAt(PaceClock::Clock::now()); }

void SilentSink::resume() { clock_->resumeAt(PaceClock::Clock::now()); }

void SilentSink::close() { clock_.reset(); }

}  // namespace media
