// One open file under an alias: a decoder, an output and the playback thread
// that joins them.
//
// How the media layer's threads and locks work (mci.h is its entry):
//
// Owners. A registry (media_layer.cpp), made at the first command and never
// destroyed, owns the table of open devices by alias, the devices closed but
// not yet ended, and the sink factory. A Device owns its decoder, its output
// (AudioSink, output/audio_sink.h) and its playback thread. The sound
// server's output shares one connection per process, with its own thread
// (output/server_connection.h).
//
// Threads. mciSendStringA runs on the caller's thread (the window's): a
// command changes a device's state under its lock and wakes its playback
// thread, and waits for no output; open also reads the file's header (the
// decoder's open) on the caller's thread. Each device's playback thread alone
// calls its output, and its decoder once the device is built: it opens the
// output, decodes as much as the output has room for, and sleeps until the
// output wants more or a command comes. What an output may expect of these
// threads: output/audio_sink.h.
//
// Locks, in the order they may be taken: the registry's, then a device's,
// then the handover's (OutputHandover); an output's own lock comes before a
// device's, since its library's thread wakes a device. No output method is
// called with any of the registry's, a device's or the handover's locks held,
// so a stuck output never holds up a command. The open command reads the
// file's header outside every lock; under the registry's lock it builds the
// device, which copies the decoder's rate and length (kept values, no
// decoding), makes the output (the factory only builds it; it is opened on
// the playback thread) and starts the playback thread.
//
// Devices' ends. "close" takes a device out of the table and asks its thread
// to end; the registry keeps it until the thread has released everything, and
// only then drops it, since dropping the last reference joins the thread. A
// new device waits for the closed ones (OutputHandover). shutdown() gives
// threads that are stuck in an output up (abandon), for the end of the
// program.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "decoder.h"
#include "output/audio_sink.h"
#include "page_allocator.h"

namespace media {

// Keeps a new device silent until the devices closed before it have released
// their outputs, so two files are never heard at once; but never for longer
// than a limit, so one stuck output cannot silence the next file for good.
class OutputHandover {
public:
    // The longest a new device waits for the closed ones.
    static constexpr std::chrono::milliseconds kLimit{500};

    void closing();
    void released();
    // Returns early once `cancelled()` holds and wakeWaiters() is called;
    // `cancelled` is evaluated under the handover's own lock.
    void waitUntilReleased(std::chrono::milliseconds limit, const std::function<bool()>& cancelled);
    void wakeWaiters();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int closing_ = 0;
};

class Device final : private PlaybackThread {
public:
    // Starts the playback thread, which opens the output. The device starts
    // stopped at the beginning of the file.
    Device(std::unique_ptr<Decoder> decoder, std::unique_ptr<AudioSink> sink,
           std::shared_ptr<OutputHandover> handover);
    // Closes the device and joins its playback thread, unless abandon() let
    // the thread go.
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Commands. Each takes the device's lock briefly and returns: never waits
    // for the output or the decoder.
    void play();
    void pause();
    void resume();
    void stop();
    void setAudio(bool on);
    // Asks the playback thread to release the output and the file and end.
    void close();

    std::string modeText() const;  // "not ready", "stopped", "playing", "paused"
    // Of the audio the listener has heard, as far as the output can tell.
    std::int64_t positionMilliseconds() const;
    std::int64_t lengthMilliseconds() const;

    // Whether the playback thread has released everything and is ending.
    bool finished() const;
    // Waits until finished() or the deadline; returns finished().
    bool waitFinished(std::chrono::steady_clock::time_point deadline) const;
    // Lets the playback thread run on unowned; for a thread stuck in a driver
    // at the end of the program.
    void abandon();

private:
    // Ended: the whole file was heard, or the output failed. Until then a
    // file whose data is all written is still playing.
    enum class Mode { Stopped, Playing, Paused, Ended };
    // The device's life, in the order it goes through it. Changed under
    // mutex_; read without it where a wait cannot take mutex_.
    enum class Life {
        Opening,        // the playback thread is getting its output
        Open,           // the output takes what the thread writes
        NoOutput,       // no output could be had: "not ready"
        Closing,        // asked to close; held no output
        ClosingOutput,  // asked to close with its output open: new devices wait for it
        Finished,       // everything released; the thread ends
    };
    // What the listener had heard at a moment, and whether it was going on.
    struct Heard {
        std::int64_t frames = 0;
        std::chrono::steady_clock::time_point at{};
        bool running = false;
    };

    // PlaybackThread, for the output.
    void wake() override;
    bool waitUntil(const std::function<bool()>& settled) override;
    bool closing() const override;

    void run();
    void playUntilClosed();
    // Decodes up to `room` frames into batch_, fewer when a command comes;
    // returns the count, 0 at the end of the data.
    std::size_t decodeBatch(std::size_t room, bool muted);
    bool commandWaiting() const;
    void end();
    // Sleeps until the output has room (Full or Awaiting), or a command comes.
    void waitForRoom(const AudioSink::Room& room);
    void changeMode(Mode from1, Mode from2, Mode to, bool dropQueued);
    // Plays again, later, the frames the output discarded.
    void takeBack(std::int64_t discarded, Mode mode);
    void noteHeard(bool running);

    std::unique_ptr<Decoder> decoder_;                              // playback thread only, once started
    std::unique_ptr<AudioSink> sink_;                               // playback thread only
    std::vector<std::int16_t, PageAllocator<std::int16_t>> batch_;  // playback thread only
    std::shared_ptr<OutputHandover> handover_;
    const long rate_;
    const std::int64_t lengthFrames_;
    std::atomic<std::int64_t> decodedFrames_{0};  // handed to the output, less what it gave back

    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    std::atomic<Life> life_{Life::Opening};
    Mode mode_ = Mode::Stopped;
    bool muted_ = false;
    bool dropPending_ = false;
    bool outputWoke_ = false;
    Heard heard_;

    std::thread thread_;
};

// Tells the end listener (media_layer.h), if any, that `device` has reached
// the end of its file by itself. Takes the registry's lock: call it without
// the device's.
void reportEndedByItself(const Device& device);

}  // namespace media
