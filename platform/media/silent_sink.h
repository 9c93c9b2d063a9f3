// An output that hears nothing but takes samples at the pace of a real one.
#pragma once

#include <optional>

#include "audio_sink.h"
#include "pace_clock.h"

namespace media {

class SilentSink final : public AudioSink {
public:
    bool open(long rate, int channels, PlaybackThread& thread) override;
    Room room(Clock::time_point now) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::int64_t unheard(Clock::time_point now) override;
    std::int64_t drop() override;
    std::int64_t pause() override;
    void resume() override;
    void close() override;

private:
    std::optional<PaceClock> clock_;
    std::int64_t queueFull_ = 0;
    std::int64_t queueLow_ = 0;
};

}  // namespace media
