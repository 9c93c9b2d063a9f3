// Output to the sound server: PulseAudio, or PipeWire's PulseAudio service.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio_sink.h"

struct pa_stream;

namespace media {

// One stream per device on the process's one connection to the server,
// through libpulse's asynchronous API: no call waits for the server, so a
// server that stops answering holds up no command and no close.
//
// The stream keeps a long queue in the server and asks for more only when
// about half of it has been played, so the playback thread wakes about once
// a second. Pause corks the stream and keeps the queue, so resume goes on
// from the same sample; drop flushes it and close releases it, both
// silencing at once. What the listener has heard comes from the server's
// timing.
class PulseSink final : public AudioSink {
public:
    ~PulseSink() override;
    bool open(long rate, int channels, PlaybackThread& thread) override;
    Room room(Clock::time_point now) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::int64_t unheard(Clock::time_point now) override;
    std::int64_t drop() override;
    std::int64_t pause() override;
    void resume() override;
    void close() override;

    // Whether the stream is up: false before open() and once the server is gone.
    bool ready() const;

private:
    static void onState(pa_stream* stream, void* self);
    static void onRequest(pa_stream* stream, std::size_t bytes, void* self);
    std::int64_t framesOf(std::uint64_t microseconds) const;
    std::int64_t queuedLocked() const;

    PlaybackThread* thread_ = nullptr;
    pa_stream* stream_ = nullptr;  // under the connection's lock
    long rate_ = 0;
    std::size_t frameBytes_ = 0;
    // The state the server last gave the stream; written by the connection's
    // thread, read by the playback thread's waits.
    std::atomic<int> state_{0};
    std::int64_t sinceRestart_ = 0;  // frames written since open or the last drop
};

}  // namespace media
