// One open file under an alias: a decoder, an output and the playback thread
// that joins them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio_sink.h"
#include "decoder.h"

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
    // Returns early when `cancelled` turns true and wakeWaiters() is called.
    void waitUntilReleased(std::chrono::milliseconds limit, const std::atomic<bool>& cancelled);
    void wakeWaiters();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int closing_ = 0;
};

class Device {
public:
    enum class Mode { Stopped, Playing, Paused, Ended };

    // Starts the playback thread, which opens the output. The device starts
    // stopped at the beginning of the file.
    Device(std::unique_ptr<Decoder> decoder, std::unique_ptr<AudioSink> sink,
           std::shared_ptr<OutputHandover> handover);
    // Joins the playback thread unless release() gave it up.
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
    // Of the audio handed to the output; runs ahead of what is heard by at
    // most what the output keeps queued (a halt drops and rewinds that).
    std::int64_t positionMilliseconds() const;
    std::int64_t lengthMilliseconds() const;
    Mode mode() const;

    // Whether the playback thread has released everything and is ending.
    bool finished() const;
    // Waits until finished() or the deadline; returns finished().
    bool waitFinished(std::chrono::steady_clock::time_point deadline) const;
    // Lets the playback thread run on unowned; for a thread stuck in a driver
    // at the end of the program.
    void abandon();

private:
    enum class Output { Opening, Ready, Failed };

    void run();
    void playUntilClosed();
    // Sleeps until the output wants more samples or a command comes.
    void waitForOutput();
    void changeMode(Mode from1, Mode from2, Mode to, bool dropQueued);

    std::unique_ptr<Decoder> decoder_;  // playback thread only, once started
    std::unique_ptr<AudioSink> sink_;   // playback thread only
    std::shared_ptr<OutputHandover> handover_;
    const long rate_;
    const std::int64_t lengthFrames_;
    std::atomic<std::int64_t> positionFrames_{0};

    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    Mode mode_ = Mode::Stopped;
    Output output_ = Output::Opening;
    bool muted_ = false;
    bool dropPending_ = false;
    bool closing_ = false;
    // closing_ as seen from the handover wait, which must not take mutex_.
    std::atomic<bool> closeRequested_{false};
    bool holdsOutput_ = false;  // closed with its output open: others wait for it
    bool finished_ = false;

    std::thread thread_;
};

}  // namespace media
