// Outputs for window tests that drive real playback: capture outputs, wrapped
// so the test can count how many are alive (made for an opened device and not
// yet released), and ask whether a device is open under the player's alias.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/media/output/audio_sink.h"
#include "tests/support/capture_sink.h"
#include "platform/media/mci.h"
#include "platform/media/output/forwarding_sink.h"
#include "platform/media/test_hooks.h"
#include "tests/support/wait.h"

namespace velmyr_test {

class OutputWatch {
public:
    explicit OutputWatch(velmyr_test::CaptureOptions options = {})
        : hub_(options), counts_(std::make_shared<Counts>()) {
        media::setSinkFactory(
            [counts = counts_, make = hub_.factory()] { return std::make_unique<Counted>(counts, make()); });
    }
    ~OutputWatch() {
        mciSendStringA("close all", nullptr, 0, nullptr);
        waitForLive([](int live) { return live == 0; }, std::chrono::seconds(10));
        media::setSinkFactory({});
    }
    OutputWatch(const OutputWatch&) = delete;
    OutputWatch& operator=(const OutputWatch&) = delete;

    const velmyr_test::CaptureHub& hub() const { return hub_; }

    // Outputs made and not yet closed, whether or not they were opened yet.
    int live() const {
        std::lock_guard lock(counts_->mutex);
        return counts_->made - counts_->closed;
    }
    int made() const {
        std::lock_guard lock(counts_->mutex);
        return counts_->made;
    }

    bool waitForLive(const std::function<bool(int)>& wanted, std::chrono::milliseconds timeout) const {
        return waitFor([&] { return wanted(live()); }, timeout);
    }

    // Whether the media layer has a device under the alias "lirovan". It asks
    // with a "status" command, which a command observer sees like any other.
    static bool aliasOpen() {
        char reply[32];
        return mciSendStringA("status lirovan mode", reply, sizeof reply, nullptr) == MCIERR_NONE;
    }

    // Every device holds its output until it is closed, and a closed one
    // releases it soon: waits until the live outputs are exactly the device
    // under the alias, if any. False when that did not come about in time.
    bool settlesToOneOutputPerOpenDevice(std::chrono::milliseconds timeout) const {
        // Only the test's thread sends commands, so the wanted count holds
        // still while the outputs of closed devices go.
        const int wanted = aliasOpen() ? 1 : 0;
        return waitForLive([wanted](int live) { return live == wanted; }, timeout);
    }

private:
    struct Counts {
        std::mutex mutex;
        int made = 0;
        int closed = 0;
    };

    class Counted final : public media::ForwardingSink {
    public:
        Counted(std::shared_ptr<Counts> counts, std::unique_ptr<media::AudioSink> inner)
            : media::ForwardingSink(std::move(inner)), counts_(std::move(counts)) {
            std::lock_guard lock(counts_->mutex);
            ++counts_->made;
        }
        // A device that was never closed still gives its output back.
        ~Counted() override {
            if (!closed_) countClosed();
        }
        void close() override {
            media::ForwardingSink::close();
            closed_ = true;
            countClosed();
        }

    private:
        void countClosed() {
            {
                std::lock_guard lock(counts_->mutex);
                ++counts_->closed;
            }
            notifyWaiters();
        }

        std::shared_ptr<Counts> counts_;
        bool closed_ = false;
    };

    velmyr_test::CaptureHub hub_;
    std::shared_ptr<Counts> counts_;
};

}  // namespace velmyr_test
