// Where a device sends its decoded samples.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace media {

// One output stream, driven by the playback thread of one device and by no
// other thread: every method is called from that thread only, so an
// implementation may keep thread-confined handles. Samples are signed 16-bit,
// interleaved. Frames count one sample per channel.
class AudioSink {
public:
    virtual ~AudioSink() = default;

    // Prepares the output for `rate` frames per second of `channels`
    // interleaved channels. Returns false when no output can be had; the sink
    // is then not used again except for close(). Called once, before any other
    // method.
    virtual bool open(long rate, int channels) = 0;

    // Plays `frames` frames. May block until the output has room for them,
    // which is what paces playback; must not block for much longer than the
    // duration of the audio it holds. Returns false when the output failed.
    virtual bool write(const std::int16_t* samples, std::size_t frames) = 0;

    // When the output next wants samples. An output that paces itself by
    // blocking in write() wants them at once (`now`); one that keeps a queue
    // names the moment its queue has drained enough, and the playback thread
    // sleeps until then, or until a command wakes it first.
    virtual std::chrono::steady_clock::time_point nextWriteAt(
        std::chrono::steady_clock::time_point now) const {
        return now;
    }

    // Discards what was written but not yet heard, at once, and returns how
    // many frames that was (an estimate where the output cannot tell), so the
    // caller can play them again later.
    virtual std::int64_t drop() = 0;

    // Halts the output without losing the stream; the caller calls drop()
    // first when it wants the halt to be immediate. resume() undoes it.
    virtual void pause() = 0;
    virtual void resume() = 0;

    // Releases the output. Whatever was still queued may be lost. Called at
    // most once, also on a sink that was never opened; no other method
    // follows it.
    virtual void close() = 0;
};

}  // namespace media
