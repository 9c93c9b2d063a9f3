#include "device.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace media {

namespace {
// Commands take effect between two blocks, so a block's duration bounds how
// late a pause, stop or mute reaches the output.
constexpr long kBlocksPerSecond = 100;
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
                                       const std::atomic<bool>& cancelled) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return closing_ <= 0 || cancelled.load(); });
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
    if (thread_.joinable())
        thread_.join();
}

void Device::changeMode(Mode from1, Mode from2, Mode to, bool dropQueued) {
    {
        std::lock_guard lock(mutex_);
        if (mode_ != from1 && mode_ != from2)
            return;
        mode_ = to;
        dropPending_ = dropPending_ || dropQueued;
    }
    wake_.notify_all();
}

// From paused, play goes on from the position like resume; an ended file
// stays ended.
void Device::play() { changeMode(Mode::Stopped, Mode::Paused, Mode::Playing, false); }
void Device::resume() { changeMode(Mode::Paused, Mode::Paused, Mode::Playing, false); }
void Device::pause() { changeMode(Mode::Playing, Mode::Playing, Mode::Paused, true); }
void Device::stop() { changeMode(Mode::Playing, Mode::Paused, Mode::Stopped, true); }

void Device::setAudio(bool on) {
    {
        std::lock_guard lock(mutex_);
        if (muted_ == !on)
            return;
        muted_ = !on;
        // What is queued was made under the old setting: hear the new one now.
        dropPending_ = true;
    }
    wake_.notify_all();
}

void Device::close() {
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return;
        closing_ = true;
        // A device that has not opened its output yet has nothing to hand over.
        holdsOutput_ = output_ == Output::Ready;
        if (holdsOutput_)
            handover_->closing();
        closeRequested_ = true;
    }
    wake_.notify_all();
    handover_->wakeWaiters();
}

Device::Mode Device::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

std::string Device::modeText() const {
    std::lock_guard lock(mutex_);
    if (output_ == Output::Failed)
        return "not ready";
    switch (mode_) {
    case Mode::Playing: return "playing";
    case Mode::Paused: return "paused";
    case Mode::Stopped:
    case Mode::Ended: break;
    }
    return "stopped";
}

std::int64_t Device::positionMilliseconds() const {
    return positionFrames_.load() * 1000 / rate_;
}

std::int64_t Device::lengthMilliseconds() const { return lengthFrames_ * 1000 / rate_; }

bool Device::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool Device::waitFinished(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return wake_.wait_until(lock, deadline, [this] { return finished_; });
}

void Device::abandon() {
    if (thread_.joinable())
        thread_.detach();
}

void Device::run() {
    handover_->waitUntilReleased(OutputHandover::kLimit, closeRequested_);
    // A file skipped past while waiting never opens an output.
    const bool ready = !closeRequested_ && sink_->open(rate_, Decoder::channels());
    {
        std::lock_guard lock(mutex_);
        output_ = ready ? Output::Ready : Output::Failed;
    }
    if (ready) {
        playUntilClosed();
        sink_->drop();
    } else {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return closing_; });
    }
    sink_->close();
    sink_.reset();
    decoder_.reset();
    bool handOver;
    {
        std::lock_guard lock(mutex_);
        handOver = holdsOutput_;
    }
    if (handOver)
        handover_->released();
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_all();
}

void Device::playUntilClosed() {
    const auto blockFrames = static_cast<std::size_t>(std::max(1L, rate_ / kBlocksPerSecond));
    std::vector<std::int16_t> block(blockFrames * Decoder::channels());
    bool outputRunning = true;
    for (;;) {
        Mode mode;
        bool muted, dropNow;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] {
                const bool halted = mode_ == Mode::Paused || mode_ == Mode::Stopped;
                return closing_ || dropPending_ || mode_ == Mode::Playing ||
                       (halted && outputRunning);
            });
            if (closing_)
                return;
            mode = mode_;
            muted = muted_;
            dropNow = std::exchange(dropPending_, false);
        }

        if (dropNow) {
            // Play again what was queued but not yet heard, so a pause loses
            // nothing and a mute silences from the moment it was asked. The
            // tail of an ended file is not played again.
            const std::int64_t unheard = sink_->drop();
            if (unheard > 0 && mode != Mode::Ended)
                positionFrames_ -= decoder_->rewind(unheard);
        }
        if (mode != Mode::Playing) {
            if (outputRunning && mode != Mode::Ended) {
                sink_->pause();
                outputRunning = false;
            }
            continue;
        }
        if (!outputRunning) {
            sink_->resume();
            outputRunning = true;
        }

        const std::size_t frames = decoder_->read(block.data(), blockFrames);
        if (frames > 0) {
            if (muted)
                std::fill_n(block.begin(), frames * Decoder::channels(), std::int16_t{0});
            const bool written = sink_->write(block.data(), frames);
            positionFrames_ += static_cast<std::int64_t>(frames);
            if (written) {
                waitForOutput();
                continue;
            }
        }
        // The end of the file, or an output that failed: the device stays open.
        std::lock_guard lock(mutex_);
        if (mode_ == Mode::Playing)
            mode_ = Mode::Ended;
    }
}

void Device::waitForOutput() {
    const auto now = std::chrono::steady_clock::now();
    const auto wanted = sink_->nextWriteAt(now);
    if (wanted <= now)
        return;
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, wanted,
                     [this] { return closing_ || dropPending_ || mode_ != Mode::Playing; });
}

}  // namespace media
