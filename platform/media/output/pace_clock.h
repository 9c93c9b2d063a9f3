// A model of an output that consumes frames in real time (or a multiple of
// it): how much of what was written is still queued at a given moment.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "audio_sink.h"

namespace media {

class PaceClock {
public:
    using Clock = std::chrono::steady_clock;

    // rate: frames per second of audio; speed: how many times faster than real
    // time the output consumes (1 for a real device).
    PaceClock(long rate, double speed) : framesPerSecond_(static_cast<double>(rate) * speed) {}

    // Frames written but not yet consumed at `now`.
    std::int64_t queued(Clock::time_point now) const { return written_ - consumed(now); }

    // Records `frames` written at `now`. An output that ran dry starts
    // consuming the new frames from `now`, not from when it ran dry.
    void wrote(std::int64_t frames, Clock::time_point now) {
        if (running_ && queued(now) == 0) restartAt(now);
        written_ += frames;
    }

    // The moment at which no more than `limit` frames will be queued.
    Clock::time_point whenQueuedAtMost(std::int64_t limit, Clock::time_point now) const {
        const std::int64_t excess = queued(now) - limit;
        if (excess <= 0 || !running_) return now;
        const double seconds = static_cast<double>(excess) / framesPerSecond_;
        return now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    // Forgets what is queued at `now` and returns how many frames that was.
    std::int64_t dropAt(Clock::time_point now) {
        const std::int64_t lost = queued(now);
        written_ -= lost;
        restartAt(now);
        return lost;
    }

    void pauseAt(Clock::time_point now) {
        if (!running_) return;
        consumedAtStart_ = consumed(now);
        running_ = false;
    }

    void resumeAt(Clock::time_point now) {
        if (running_) return;
        running_ = true;
        since_ = now;
    }

private:
    std::int64_t consumed(Clock::time_point now) const {
        if (!running_) return consumedAtStart_;
        const double seconds = std::chrono::duration<double>(now - since_).count();
        const auto elapsed = static_cast<std::int64_t>(std::max(0.0, seconds) * framesPerSecond_);
        return std::min(written_, consumedAtStart_ + elapsed);
    }

    void restartAt(Clock::time_point now) {
        consumedAtStart_ = written_;
        since_ = now;
    }

    double framesPerSecond_;
    std::int64_t written_ = 0;
    std::int64_t consumedAtStart_ = 0;
    Clock::time_point since_{};
    bool running_ = true;
};

// room() of a paced output after drain(): Drained once the clock has consumed
// everything written.
inline AudioSink::Room drainingRoom(const PaceClock& clock, PaceClock::Clock::time_point now) {
    return clock.queued(now) == 0 ? AudioSink::Room::drained()
                                  : AudioSink::Room::full(clock.whenQueuedAtMost(0, now));
}

}  // namespace media
