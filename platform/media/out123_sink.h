// Output to the sound server or card through libout123.
#pragma once

#include <optional>

#include "audio_sink.h"
#include "pace_clock.h"

struct out123_struct;

namespace media {

// Tries PulseAudio (which PipeWire's pulse server also answers), then ALSA,
// and nothing else: the library's own probe reaches modules that hang on a
// machine without sound. libout123 cannot tell how much audio the server
// still holds, so drop() estimates it: a sound server whose writes block
// holds its whole queue (PULSE_LATENCY_MSEC); otherwise the pace of the
// writes tells.
//
// pause() does not pause the library's output: that closes the stream, and
// the reopened stream was seen to hold the next write for about two seconds.
// The stream stays open and simply gets no samples until resume().
class Out123Sink final : public AudioSink {
public:
    ~Out123Sink() override;
    bool open(long rate, int channels) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::int64_t drop() override;
    void pause() override;
    void resume() override;
    void close() override;

private:
    out123_struct* handle_ = nullptr;
    int channels_ = 0;
    std::optional<PaceClock> clock_;
    std::int64_t serverQueueFrames_ = 0;  // 0: not a sound server, or unknown
    std::int64_t writtenSinceDrop_ = 0;
};

}  // namespace media
