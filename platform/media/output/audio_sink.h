// Where a device sends its decoded samples.
//
// Threads, as an output sees them. One playback thread drives each output: it
// makes every AudioSink call, and no other thread does, so an output may keep
// thread-confined handles. It holds none of the media layer's locks while it
// calls, so an output that blocks (a server that does not answer, a stuck
// driver) holds up no command and no close, only its own device's thread. An
// output that waits for its server waits in waitUntil(), which gives up once
// the device is being closed. An output may have a thread of its own (the
// sound server's connection, one per process): that thread may call
// PlaybackThread::wake() at any time, also with its library's lock held, so a
// lock an output holds while it wakes comes before the device's lock, and the
// playback thread never takes it from within waitUntil()'s condition.
//
// The outputs here: the sound server's (pulse_sink.cpp) shares the
// connection's thread and its loop lock with every stream of the process, and
// waits in
// open() through waitUntil(); the card's (out123_sink.cpp) has no thread of
// its own and blocks in write() for about the block it is given; the silent
// one (silent_sink.cpp) neither blocks nor wakes; the fallback and
// ForwardingSink add nothing to the output they hand on to.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace media {

// The playback thread of a device, as the output it drives sees it.
class PlaybackThread {
public:
    // From any thread, also from a callback of the output's own library: the
    // output has room again, is ready, or has failed. Takes the device's lock
    // for a moment, so it must not be called with a lock held that the
    // playback thread holds while it calls the output.
    virtual void wake() = 0;

    // On the playback thread: sleeps until `settled` holds or the device is
    // being closed; returns false in the second case. `settled` is evaluated
    // under the device's lock, after every wake(): it may read only what the
    // output keeps in atomics.
    virtual bool waitUntil(const std::function<bool()>& settled) = 0;

    // Whether the device is being closed, so that nothing more is worth opening.
    virtual bool closing() const = 0;

protected:
    ~PlaybackThread() = default;
};

// One output stream, driven by the playback thread of one device and by no
// other thread: every method is called from that thread only, so an
// implementation may keep thread-confined handles. Samples are signed 16-bit,
// interleaved. Frames count one sample per channel.
class AudioSink {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~AudioSink() = default;

    // Prepares the output for `rate` frames per second of `channels`
    // interleaved channels. Returns false when no output can be had, or when
    // `thread` is closing while the output waits for its server; the sink is
    // then not used again except for close(). Called once, before any other
    // method. `thread` stays valid until close() returns.
    virtual bool open(long rate, int channels, PlaybackThread& thread) = 0;

    // What the output can do now.
    struct Room {
        enum class State {
            Open,      // up to `frames` frames, at least one, may be written now
            Full,      // none now: ask again at `retryAt`
            Awaiting,  // none now: the output wakes the playback thread when
                       // there is room, or when it is drained or has failed
            Drained,   // after drain(): everything written has been heard
            Failed,    // the output is gone: nothing written will be heard
        };
        State state = State::Awaiting;
        std::size_t frames = 0;     // Open only
        Clock::time_point retryAt;  // Full only

        // `frames` must not be 0: a device reads a batch of none as the end
        // of the data.
        static Room open(std::size_t frames) { return {State::Open, frames, {}}; }
        static Room full(Clock::time_point retryAt) { return {State::Full, 0, retryAt}; }
        static Room awaiting() { return {State::Awaiting, 0, {}}; }
        static Room drained() { return {State::Drained, 0, {}}; }
        static Room failed() { return {State::Failed, 0, {}}; }
    };
    virtual Room room(Clock::time_point now) = 0;

    // Plays `frames` frames, no more than room() allowed, and returns how many
    // it took: all of them, or fewer when the output failed on the way (those
    // it took are heard, the rest are not, and nothing more will be). An
    // output that paces itself by blocking may block for about the audio it
    // is given; others return at once.
    virtual std::size_t write(const std::int16_t* samples, std::size_t frames) = 0;

    // The end of the data: plays what was written, however little, and makes
    // room() answer Drained once the listener has heard all of it (Full until
    // then). A write, drop() or pause() ends the drain; the caller drains
    // again when the data ends again.
    virtual void drain() = 0;

    // Frames written but not yet heard at `now` (an estimate where the output
    // cannot tell): what the listener is behind the writer; 0 once it has
    // heard everything.
    virtual std::int64_t unheard(Clock::time_point now) = 0;

    // Discards what was written but not yet heard, at once, and returns how
    // many frames that was, so the caller can play them again later.
    virtual std::int64_t drop() = 0;

    // Halts the output at once. An output that can keeps what it holds, to go
    // on from the same sample at resume(), and returns 0; one that cannot
    // discards it and returns how many frames that was, like drop().
    virtual std::int64_t pause() = 0;
    virtual void resume() = 0;

    // Releases the output, silencing what it still holds. Called at most once,
    // also on a sink that was never opened; no other method follows it.
    virtual void close() = 0;
};

}  // namespace media
