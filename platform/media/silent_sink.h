// An output that hears nothing but takes samples at the pace of a real one.
#pragma once

#include <memory>
#include <optional>

#include "audio_sink.h"
#include "pace_clock.h"

namespace media {

class SilentSink final : public AudioSink {
public:
    bool open(long rate, int channels) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::chrono::steady_clock::time_point nextWriteAt(
        std::chrono::steady_clock::time_point now) const override;
    std::int64_t drop() override;
    void pause() override;
    void resume() override;
    void close() override;

private:
    std::optional<PaceClock> clock_;
    std::int64_t queueFull_ = 0;
    std::int64_t queueLow_ = 0;
};

}  // namespace media
