// Where a device sends its decoded samples, and what an output may expect of
// the threads that drive it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace media {

// The playback thread of a device, as the output it drives sees it.
class PlaybackThread {
public:
    // From any thread, also from a thread of the output's own library with
    // that library's lock held: the output has room again, is ready, or has
    // failed. Takes the device's lock for a moment (the lock order: device.h).
    virtual void wake() = 0;

    // On the playback thread: sleeps until `settled` holds or the device is
    // being closed; returns false in the second case. An output that waits for
    // its server waits here. `settled` is evaluated under the device's lock,
    // after every wake(): it may read only what the output keeps in atomics.
    virtual bool waitUntil(const std::function<bool()>& settled) = 0;

    // Whether the device is being closed, so that nothing more is worth opening.
    virtual bool closing() const = 0;

protected:
    ~PlaybackThread() = default;
};

// One output stream, driven by the playback thread of one device and by no
// other thread: every method is called from that thread only, so an
// implementation may keep thread-confined handles, and may block: the thread
// holds none of the media layer's locks while it calls (device.h). Samples are
// signed 16-bit, interleaved. Frames count one sample per channel.
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
