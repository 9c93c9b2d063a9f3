#include "capture_sink.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/media/output/audio_sink.h"
#include "platform/media/output/pace_clock.h"
#include "wait.h"

namespace velmyr_test {

using media::AudioSink;
using media::PaceClock;
using media::PlaybackThread;

struct CaptureHub::State {
    CaptureOptions options;
    mutable std::mutex mutex;
    std::vector<CaptureRecord> records;

    std::size_t add() {
        std::lock_guard lock(mutex);
        records.emplace_back();
        return records.size() - 1;
    }
};

namespace {

class CaptureSink final : public AudioSink {
public:
    CaptureSink(std::shared_ptr<CaptureHub::State> hub, std::size_t index)
        : hub_(std::move(hub)), index_(index) {}

    bool open(long rate, int channels, PlaybackThread&) override {
        if (rate <= 0 || channels <= 0) return false;
        clock_.emplace(rate, hub_->options.speed);
        queueLimit_ = rate * hub_->options.queue.count() / 1000;
        block_ = static_cast<std::size_t>(std::max(1L, rate / 100));
        channels_ = channels;
        update([&](CaptureRecord& r) {
            r.rate = rate;
            r.channels = channels;
            r.opened = true;
        });
        return true;
    }

    // A block of 10 ms at a time, once the queue is down to its limit.
    Room room(Clock::time_point now) override {
        if (draining_) return media::drainingRoom(*clock_, now);
        if (clock_->queued(now) <= queueLimit_) return Room::open(block_);
        return Room::full(clock_->whenQueuedAtMost(queueLimit_, now));
    }

    void drain() override { draining_ = true; }

    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        draining_ = false;
        const auto now = PaceClock::Clock::now();
        update([&](CaptureRecord& r) {
            r.samples.insert(r.samples.end(), samples,
                             samples + frames * static_cast<std::size_t>(channels_));
            if (r.writes++ == 0) r.firstWriteAt = now;
            r.lastWriteAt = now;
        });
        clock_->wrote(static_cast<std::int64_t>(frames), now);
        return frames;
    }

    std::int64_t unheard(Clock::time_point now) override { return clock_->queued(now); }

    std::int64_t drop() override {
        draining_ = false;
        const std::int64_t lost = clock_->dropAt(PaceClock::Clock::now());
        update([&](CaptureRecord& r) {
            const auto cut =
                std::min<std::size_t>(r.samples.size(), static_cast<std::size_t>(lost) * channels_);
            r.samples.resize(r.samples.size() - cut);
            ++r.drops;
        });
        return lost;
    }

    // Like a sound server's stream: halts and keeps what it holds.
    std::int64_t pause() override {
        draining_ = false;
        clock_->pauseAt(PaceClock::Clock::now());
        update([](CaptureRecord& r) { ++r.pauses; });
        return 0;
    }

    void resume() override {
        clock_->resumeAt(PaceClock::Clock::now());
        update([](CaptureRecord& r) { ++r.resumes; });
    }

    void close() override {
        const auto now = PaceClock::Clock::now();
        update([&](CaptureRecord& r) {
            r.closed = true;
            r.closedAt = now;
        });
    }

private:
    template <typename F>
    void update(F&& change) {
        {
            std::lock_guard lock(hub_->mutex);
            change(hub_->records[index_]);
        }
        notifyWaiters();
    }

    std::shared_ptr<CaptureHub::State> hub_;
    std::size_t index_;
    std::optional<PaceClock> clock_;
    std::int64_t queueLimit_ = 0;
    bool draining_ = false;
    std::size_t block_ = 0;
    int channels_ = 0;
};

}  // namespace

CaptureHub::CaptureHub(CaptureOptions options) : state_(std::make_shared<State>()) {
    state_->options = options;
}

media::SinkFactory CaptureHub::factory() const {
    return [state = state_]() -> std::unique_ptr<AudioSink> {
        return std::make_unique<CaptureSink>(state, state->add());
    };
}

std::size_t CaptureHub::sinkCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->records.size();
}

CaptureRecord CaptureHub::record(std::size_t index) const {
    std::lock_guard lock(state_->mutex);
    return index < state_->records.size() ? state_->records[index] : CaptureRecord{};
}

std::int64_t CaptureHub::frames(std::size_t index) const {
    std::lock_guard lock(state_->mutex);
    return index < state_->records.size() ? state_->records[index].frames() : 0;
}

std::size_t CaptureHub::openSinks() const {
    std::lock_guard lock(state_->mutex);
    return static_cast<std::size_t>(
        std::count_if(state_->records.begin(), state_->records.end(),
                      [](const CaptureRecord& r) { return r.opened && !r.closed; }));
}

double toneFrequency(const std::vector<std::int16_t>& samples, int channels, long rate,
                     std::int64_t firstFrame, std::int64_t frameCount) {
    if (channels <= 0 || rate <= 0 || firstFrame < 0) return 0;
    const std::int64_t available = static_cast<std::int64_t>(samples.size()) / channels;
    const std::int64_t end = std::min(available, firstFrame + frameCount);
    int crossings = 0;
    std::int64_t firstCrossing = -1, lastCrossing = -1;
    for (std::int64_t i = firstFrame + 1; i < end; ++i) {
        const int before = samples[static_cast<std::size_t>((i - 1) * channels)];
        const int now = samples[static_cast<std::size_t>(i * channels)];
        if (before < 0 && now >= 0) {
            if (firstCrossing < 0) firstCrossing = i;
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return static_cast<double>(crossings - 1) * static_cast<double>(rate) /
           static_cast<double>(lastCrossing - firstCrossing);
}

int peakLevel(const std::vector<std::int16_t>& samples, int channels, std::int64_t firstFrame,
              std::int64_t frameCount) {
    if (channels <= 0 || firstFrame < 0) return 0;
    const auto begin = std::min(samples.size(), static_cast<std::size_t>(firstFrame * channels));
    const auto end = std::min(samples.size(), static_cast<std::size_t>((firstFrame + frameCount) * channels));
    int peak = 0;
    for (std::size_t i = begin; i < end; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

}  // namespace velmyr_test
