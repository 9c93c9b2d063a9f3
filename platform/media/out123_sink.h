// Output straight to the sound card through libout123's ALSA module, where
// no sound server answers.
#pragma once

#include <optional>

#include "audio_sink.h"
#include "pace_clock.h"

struct out123_struct;

namespace media {

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
    ~Out123Sink() override;
    bool open(long rate, int channels, PlaybackThread& thread) override;
    Room room(Clock::time_point now) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::int64_t unheard(Clock::time_point now) override;
    std::int64_t drop() override;
    std::int64_t pause() override;
    void resume() override;
    void close() override;

private:
    out123_struct* handle_ = nullptr;
    long rate_ = 0;
    int channels_ = 0;
    std::optional<PaceClock> clock_;
};

}  // namespace media
