#include "device.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace media {

namespace {
// The most the playback thread decodes between two looks at its commands:
// the time decoding it takes bounds how late a command reaches the output.
constexpr long kSlicesPerSecond = 4;
// The most it hands the output in one write. The output asks for large
// refills, and each write wakes the output's own thread: one write a refill.
constexpr long kBatchSeconds = 4;
}  // namespace

void OutputHandover::closing() {
    std::lock_guard lock(mutex_);
    ++closing_;
}

void OutputHandover::released() {
    {
        std::lock_guard lock(mutex_);
        --closing_;
    }
    changed_.notify_all();
}

void OutputHandover::waitUntilReleased(std::chrono::milliseconds limit,
                                       const std::function<bool()>& cancelled) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return closing_ <= 0 || cancelled(); });
}

void OutputHandover::wakeWaiters() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

Device::Device(std::unique_ptr<Decoder> decoder, std::unique_ptr<AudioSink> sink,
               std::shared_ptr<OutputHandover> handover)
    : decoder_(std::move(decoder)),
      sink_(std::move(sink)),
      handover_(std::move(handover)),
      rate_(decoder_->rate()),
      lengthFrames_(decoder_->length()) {
    thread_ = std::thread([this] { run(); });
}

Device::~Device() {
    close();
    if (thread_.joinable()) thread_.join();
}

void Device::changeMode(Mode from1, Mode from2, Mode to, bool dropQueued) {
    {
        std::lock_guard lock(mutex_);
        if (mode_ != from1 && mode_ != from2) return;
        mode_ = to;
        dropPending_ = dropPending_ || dropQueued;
    }
    wake_.notify_all();
}

// From paused, play goes on from the position like resume; an ended file
// stays ended. A pause keeps what the output holds; a stop discards it.
void Device::play() { changeMode(Mode::Stopped, Mode::Paused, Mode::Playing, false); }
void Device::resume() { changeMode(Mode::Paused, Mode::Paused, Mode::Playing, false); }
void Device::pause() { changeMode(Mode::Playing, Mode::Playing, Mode::Paused, false); }
void Device::stop() { changeMode(Mode::Playing, Mode::Paused, Mode::Stopped, true); }

void Device::setAudio(bool on) {
    {
        std::lock_guard lock(mutex_);
        if (muted_ == !on) return;
        muted_ = !on;
        // What is queued was made under the old setting: hear the new one now.
        dropPending_ = true;
    }
    wake_.notify_all();
}

void Device::close() {
    {
        std::lock_guard lock(mutex_);
        const Life life = life_;
        if (life >= Life::Closing) return;
        // A device that has no output open has nothing to hand over.
        const bool holdsOutput = life == Life::Open;
        if (holdsOutput) handover_->closing();
        life_ = holdsOutput ? Life::ClosingOutput : Life::Closing;
    }
    wake_.notify_all();
    handover_->wakeWaiters();
}

std::string Device::modeText() const {
    std::lock_guard lock(mutex_);
    if (life_ == Life::NoOutput) return "not ready";
    switch (mode_) {
    case Mode::Playing: return "playing";
    case Mode::Paused: return "paused";
    case Mode::Stopped:
    case Mode::Ended: break;
    }
    return "stopped";
}

std::int64_t Device::positionMilliseconds() const {
    Heard heard;
    {
        std::lock_guard lock(mutex_);
        heard = heard_;
    }
    std::int64_t frames = heard.frames;
    if (heard.running) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - heard.at).count();
        frames += static_cast<std::int64_t>(seconds * static_cast<double>(rate_));
    }
    frames = std::clamp<std::int64_t>(frames, 0, std::max<std::int64_t>(0, decodedFrames_));
    return frames * 1000 / rate_;
}

std::int64_t Device::lengthMilliseconds() const { return lengthFrames_ * 1000 / rate_; }

bool Device::finished() const { return life_ == Life::Finished; }

bool Device::waitFinished(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return wake_.wait_until(lock, deadline, [this] { return finished(); });
}

void Device::abandon() {
    if (thread_.joinable()) thread_.detach();
}

void Device::wake() {
    {
        std::lock_guard lock(mutex_);
        outputWoke_ = true;
    }
    wake_.notify_all();
}

bool Device::waitUntil(const std::function<bool()>& settled) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return closing() || settled(); });
    return !closing();
}

bool Device::closing() const { return life_ >= Life::Closing; }

void Device::run() {
    handover_->waitUntilReleased(OutputHandover::kLimit, [this] { return closing(); });
    // A file skipped past while waiting never opens an output.
    const bool opened = !closing() && sink_->open(rate_, Decoder::channels(), *this);
    {
        std::lock_guard lock(mutex_);
        if (life_ == Life::Opening) life_ = opened ? Life::Open : Life::NoOutput;
    }
    if (opened) {
        playUntilClosed();
        sink_->drop();
    } else {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return closing(); });
    }
    sink_->close();
    sink_.reset();
    decoder_.reset();
    // Closing came before this point, and nothing changes the life after it
    // but this thread.
    if (life_ == Life::ClosingOutput) handover_->released();
    {
        std::lock_guard lock(mutex_);
        life_ = Life::Finished;
    }
    wake_.notify_all();
}

void Device::playUntilClosed() {
    bool outputRunning = true;
    // drain() was called and nothing was written, dropped or paused since.
    bool draining = false;
    // The last call to the output was a write, whose frames noteHeard() has
    // already seen.
    bool justWrote = false;
    for (;;) {
        Mode mode;
        bool muted, dropNow;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] {
                const bool halted = mode_ == Mode::Paused || mode_ == Mode::Stopped;
                return closing() || dropPending_ || mode_ == Mode::Playing || (halted && outputRunning);
            });
            if (closing()) return;
            mode = mode_;
            muted = muted_;
            dropNow = std::exchange(dropPending_, false);
            outputWoke_ = false;
        }

        if (dropNow) {
            takeBack(sink_->drop(), mode);
            draining = false;
        }
        if (mode != Mode::Playing) {
            if (outputRunning && mode != Mode::Ended) {
                // Noted first, so that once the output has halted the
                // position already holds still.
                noteHeard(false);
                takeBack(sink_->pause(), mode);
                outputRunning = false;
                draining = false;
            }
            continue;
        }
        if (!outputRunning) {
            sink_->resume();
            outputRunning = true;
        }

        const AudioSink::Room room = sink_->room(AudioSink::Clock::now());
        switch (room.state) {
        case AudioSink::Room::State::Full:
        case AudioSink::Room::State::Awaiting:
            if (!justWrote) noteHeard(true);
            justWrote = false;
            waitForRoom(room);
            continue;
        case AudioSink::Room::State::Drained:
        case AudioSink::Room::State::Failed: end(); continue;
        case AudioSink::Room::State::Open: break;
        }
        const std::size_t frames = decodeBatch(room.frames, muted);
        if (frames == 0) {
            // The end of the data: the file plays on until the output has
            // played all it holds.
            if (!draining) sink_->drain();
            draining = true;
            continue;
        }
        // Noted before the write: right after it the output is busy with it.
        noteHeard(true);
        const std::size_t written = sink_->write(batch_.data(), frames);
        decodedFrames_ += static_cast<std::int64_t>(written);
        if (written < frames) {
            end();
            continue;
        }
        draining = false;
        justWrote = true;
    }
}

std::size_t Device::decodeBatch(std::size_t room, bool muted) {
    const auto slice = static_cast<std::size_t>(std::max(1L, rate_ / kSlicesPerSecond));
    const std::size_t wanted = std::min(room, static_cast<std::size_t>(std::max(1L, rate_ * kBatchSeconds)));
    const std::size_t channels = Decoder::channels();
    if (batch_.size() < wanted * channels) batch_.resize(wanted * channels);
    std::size_t frames = 0;
    while (frames < wanted) {
        const std::size_t got =
            decoder_->read(batch_.data() + frames * channels, std::min(slice, wanted - frames));
        frames += got;
        if (got == 0 || commandWaiting()) break;
    }
    if (muted) std::fill_n(batch_.begin(), frames * channels, std::int16_t{0});
    return frames;
}

bool Device::commandWaiting() const {
    std::lock_guard lock(mutex_);
    return closing() || dropPending_ || mode_ != Mode::Playing;
}

// Everything written has been heard, or the output failed: the file has ended,
// and the device stays open.
void Device::end() {
    noteHeard(false);
    {
        std::lock_guard lock(mutex_);
        if (mode_ != Mode::Playing) return;
        mode_ = Mode::Ended;
    }
    // Ended by itself: the desktop's player controls are told (nothing else
    // learns it). Outside the device's lock, which comes after the registry's.
    reportEndedByItself(*this);
}

// What the output discarded is decoded again, so a stop loses nothing and a
// mute silences from the moment it was asked, also while the output plays
// the last of the file.
void Device::takeBack(std::int64_t discarded, Mode mode) {
    if (discarded > 0 && mode != Mode::Ended) decodedFrames_ -= decoder_->rewind(discarded);
}

void Device::noteHeard(bool running) {
    const auto now = AudioSink::Clock::now();
    const std::int64_t heard = decodedFrames_ - std::max<std::int64_t>(0, sink_->unheard(now));
    std::lock_guard lock(mutex_);
    heard_ = {heard, now, running};
}

void Device::waitForRoom(const AudioSink::Room& room) {
    std::unique_lock lock(mutex_);
    const auto due = [this] { return closing() || dropPending_ || mode_ != Mode::Playing || outputWoke_; };
    if (room.state == AudioSink::Room::State::Full)
        wake_.wait_until(lock, room.retryAt, due);
    else
        wake_.wait(lock, due);
}

}  // namespace media
