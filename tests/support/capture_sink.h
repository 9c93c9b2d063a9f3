// Outputs that keep what they are given, so tests can tell what was heard,
// when, and from which device. For any test that drives the media layer
// (player module, window, fuzzing).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/test_hooks.h"
#include "wait.h"

namespace velmyr_test {

struct CaptureOptions {
    // How many times faster than real time the capture consumes samples.
    double speed = 1.0;
    // How much audio it may hold queued ahead of the listener, like a sound
    // server; what drop() discards is also taken out of the recording, and a
    // pause keeps it.
    std::chrono::milliseconds queue{0};
};

// Everything one capture output received. `samples` holds what was heard:
// written samples minus those discarded by drop().
struct CaptureRecord {
    using Clock = std::chrono::steady_clock;
    long rate = 0;
    int channels = 0;
    bool opened = false;
    bool closed = false;
    std::vector<std::int16_t> samples;
    int writes = 0;
    int drops = 0;
    int pauses = 0;
    int resumes = 0;
    Clock::time_point firstWriteAt{};
    Clock::time_point lastWriteAt{};
    Clock::time_point closedAt{};

    std::int64_t frames() const {
        return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};

// A set of capture outputs: one record per output its factory made, in the
// order they were made. Thread-safe. Every change wakes waitFor() (wait.h).
class CaptureHub {
public:
    explicit CaptureHub(CaptureOptions options = {});

    // A factory to give to media::setSinkFactory.
    media::SinkFactory factory() const;

    std::size_t sinkCount() const;
    CaptureRecord record(std::size_t index) const;  // a copy
    std::int64_t frames(std::size_t index) const;   // heard so far
    std::size_t openSinks() const;                  // opened, not yet closed

    struct State;

private:
    std::shared_ptr<State> state_;
};

// The frequency of a steady tone in the first channel of interleaved samples,
// from its zero crossings; 0 for silence.
double toneFrequency(const std::vector<std::int16_t>& samples, int channels, long rate,
                     std::int64_t firstFrame, std::int64_t frameCount);

// The largest absolute sample value in a range of frames (all channels).
int peakLevel(const std::vector<std::int16_t>& samples, int channels, std::int64_t firstFrame,
              std::int64_t frameCount);

}  // namespace velmyr_test
