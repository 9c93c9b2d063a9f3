// The media layer with real decoding into capture outputs.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "media_test_support.h"
#include "platform/media/output/audio_sink.h"
#include "platform/media/device.h"

namespace {

using namespace media_test;

constexpr long kRate = 44100;
constexpr std::int64_t kToneFrames = 3 * kRate;  // every tone fixture lasts 3 s
constexpr std::int64_t kBlock = kRate / 100;     // the most a capture output takes at once

class Playback : public MediaTest {
protected:
    // Plays half a second of `file`, halts it with `command` (pause or stop)
    // and checks that neither the position nor what was heard moves while it
    // is halted; returns what had been heard.
    std::int64_t haltedAfterHalfASecond(const std::string& file, const std::string& command,
                                        const std::string& mode) {
        EXPECT_EQ(send(openCommand(fixture(file))), MCIERR_NONE);
        EXPECT_EQ(send("play lirovan"), MCIERR_NONE);
        EXPECT_TRUE(heardAtLeast(kRate / 2));
        EXPECT_EQ(send(command + " lirovan"), MCIERR_NONE);
        EXPECT_EQ(status("lirovan", "mode"), mode);
        EXPECT_TRUE(halted());
        const auto haltedAt = position("lirovan");
        const auto heardWhenHalted = heard();
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(position("lirovan"), haltedAt);
        EXPECT_EQ(heard(), heardWhenHalted);
        EXPECT_GT(haltedAt, 0);
        return heardWhenHalted;
    }
};

TEST_F(Playback, OpenLeavesTheFileStoppedAtItsStart) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "stopped");
    EXPECT_EQ(position("lirovan"), 0);
    EXPECT_NEAR(std::stoll(status("lirovan", "length")), 3000, 30);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(heard(), 0);
    EXPECT_EQ(position("lirovan"), 0);
}

TEST_F(Playback, PlaysTheWholeFileThenEndsWithTheDeviceStillOpen) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "playing");
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "stopped"; }));

    const auto record = hub_.record(0);
    EXPECT_EQ(record.rate, kRate);
    EXPECT_EQ(record.channels, 2);
    EXPECT_NEAR(record.frames(), kToneFrames, kBlock);
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, kRate / 2, kRate), 440, 3);
    EXPECT_NEAR(position("lirovan"), 3000, 30);
    EXPECT_FALSE(record.closed);

    // Nothing more starts by itself, nor on another play.
    EXPECT_EQ(send("play lirovan"), MCIERR_NONE);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(hub_.frames(0), record.frames());
    EXPECT_EQ(hub_.sinkCount(), 1u);
    EXPECT_EQ(send("close lirovan"), MCIERR_NONE);
}

TEST_F(Playback, PauseHoldsThePositionAndResumeGoesOnFromIt) {
    const auto heardWhenPaused = haltedAfterHalfASecond("tone660.mp3", "pause", "paused");
    ASSERT_FALSE(HasFailure());
    EXPECT_LT(heardWhenPaused, kToneFrames);

    ASSERT_EQ(send("resume lirovan"), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "playing");
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "stopped"; }));
    // Nothing skipped, nothing repeated.
    const auto record = hub_.record(0);
    EXPECT_NEAR(record.frames(), kToneFrames, kBlock);
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, heardWhenPaused - kRate / 4, kRate / 2),
                660, 3);
}

TEST_F(Playback, PlayWhilePausedGoesOnAndResumeWhileStoppedDoesNothing) {
    ASSERT_EQ(send(openCommand(fixture("tone660.mp3"))), MCIERR_NONE);
    EXPECT_EQ(send("resume lirovan"), MCIERR_NONE);
    EXPECT_EQ(send("pause lirovan"), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "stopped");
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    ASSERT_EQ(send("pause lirovan"), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "playing");
}

TEST_F(Playback, StopHaltsAndKeepsThePosition) {
    haltedAfterHalfASecond("tone440.mp3", "stop", "stopped");
    EXPECT_FALSE(hub_.record(0).closed);
}

TEST_F(Playback, MuteSilencesWhileThePositionAdvancesAndUnmuteBringsSoundBack) {
    ASSERT_EQ(send(openCommand(fixture("tone880.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 4));

    ASSERT_EQ(send("set lirovan audio all off"), MCIERR_NONE);
    const auto mutedFrom = heard();
    const auto positionMuted = position("lirovan");
    ASSERT_TRUE(heardAtLeast(mutedFrom + kRate / 2));
    EXPECT_GT(position("lirovan"), positionMuted + 400);
    EXPECT_EQ(status("lirovan", "mode"), "playing");

    ASSERT_EQ(send("set lirovan audio all on"), MCIERR_NONE);
    const auto unmutedFrom = heard();
    ASSERT_TRUE(heardAtLeast(unmutedFrom + kRate / 2));

    const auto record = hub_.record(0);
    // At most the block under way when the mute came is still heard; the
    // unmute drops the muted block still queued, so sound returns up to a
    // block before the frame count read when it was sent.
    EXPECT_EQ(velmyr_test::peakLevel(record.samples, 2, mutedFrom + 2 * kBlock,
                                     unmutedFrom - mutedFrom - 3 * kBlock),
              0);
    EXPECT_GT(velmyr_test::peakLevel(record.samples, 2, unmutedFrom + 2 * kBlock, kRate / 4), 10000);
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, unmutedFrom + 2 * kBlock, kRate / 4),
                880, 5);
}

TEST_F(Playback, MutingTwiceOrUnmutingWhenNotMutedChangesNothing) {
    ASSERT_EQ(send(openCommand(fixture("tone880.mp3"))), MCIERR_NONE);
    EXPECT_EQ(send("set lirovan audio all on"), MCIERR_NONE);
    EXPECT_EQ(send("set lirovan audio all off"), MCIERR_NONE);
    EXPECT_EQ(send("set lirovan audio all off"), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "stopped"; }));
    const auto record = hub_.record(0);
    EXPECT_NEAR(record.frames(), kToneFrames, kBlock);
    EXPECT_EQ(velmyr_test::peakLevel(record.samples, 2, 0, record.frames()), 0);
}

TEST_F(Playback, CloseReleasesTheOutputAndFreesTheAlias) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kBlock));
    ASSERT_EQ(send("close lirovan"), MCIERR_NONE);
    EXPECT_EQ(send("status lirovan mode"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(send("play lirovan"), MCIERR_INVALID_DEVICE_NAME);
    ASSERT_TRUE(waitFor([&] { return hub_.record(0).closed; }));
    const auto heardWhenClosed = heard();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(hub_.frames(0), heardWhenClosed);

    ASSERT_EQ(send(openCommand(fixture("tone660.mp3"))), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "stopped");
}

TEST_F(Playback, CloseAllReleasesEveryDevice) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"), "first")), MCIERR_NONE);
    ASSERT_EQ(send(openCommand(fixture("tone660.mp3"), "second")), MCIERR_NONE);
    ASSERT_EQ(send("play first"), MCIERR_NONE);
    ASSERT_EQ(send("close all"), MCIERR_NONE);
    EXPECT_EQ(send("status first mode"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(send("status second mode"), MCIERR_INVALID_DEVICE_NAME);
    ASSERT_TRUE(waitFor([&] { return hub_.sinkCount() == 2 && hub_.openSinks() == 0; }));
    EXPECT_EQ(send("close all"), MCIERR_NONE);
}

TEST_F(Playback, AliasesAreNotCaseSensitive) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"), "Lirovan")), MCIERR_NONE);
    EXPECT_EQ(status("LIROVAN", "mode"), "stopped");
    EXPECT_EQ(send("CLOSE lirovan"), MCIERR_NONE);
}

TEST_F(Playback, CommandsForAnAliasWithoutDeviceFailAndChangeNothing) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"), "other")), MCIERR_NONE);
    for (const char* command :
         {"play lirovan", "pause lirovan", "resume lirovan", "stop lirovan", "close lirovan",
          "set lirovan audio all off", "set lirovan audio all on", "status lirovan mode"})
        EXPECT_EQ(send(command), MCIERR_INVALID_DEVICE_NAME) << command;
    EXPECT_EQ(status("other", "mode"), "stopped");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(hub_.frames(0), 0);
    EXPECT_EQ(hub_.sinkCount(), 1u);
}

TEST_F(Playback, OpeningATakenAliasFailsAndKeepsTheDeviceUnderIt) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    EXPECT_EQ(send(openCommand(fixture("tone660.mp3"))), MCIERR_DUPLICATE_ALIAS);
    EXPECT_EQ(status("lirovan", "mode"), "playing");
    EXPECT_EQ(hub_.sinkCount(), 1u);
}

TEST_F(Playback, MalformedCommandsFailAndChangeNothing) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    for (const char* command :
         {"", "   ", "plya lirovan", "play", "play lirovan now", "close", "set lirovan audio",
          "set lirovan audio all loud", "set lirovan video all off", "status lirovan",
          "status lirovan volume", "play all", "open", "open  type mpegvideo alias x",
          "open tone.mp3 type waveaudio alias x", "open tone.mp3 type mpegvideo",
          "open tone.mp3 type mpegvideo alias all"})
        EXPECT_NE(send(command), MCIERR_NONE) << '"' << command << '"';
    EXPECT_NE(mciSendStringA(nullptr, nullptr, 0, nullptr), MCIERR_NONE);
    EXPECT_EQ(status("lirovan", "mode"), "stopped");
    EXPECT_EQ(hub_.sinkCount(), 1u);
}

TEST_F(Playback, StatusRepliesAreCutToTheBuffer) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    char reply[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(mciSendStringA("status lirovan mode", reply, 4, nullptr), MCIERR_PARAM_OVERFLOW);
    EXPECT_STREQ(reply, "sto");
    EXPECT_EQ(reply[4], 'x');
    EXPECT_EQ(mciSendStringA("status lirovan mode", nullptr, 0, nullptr), MCIERR_NONE);
    char empty[8] = "garbage";
    EXPECT_EQ(mciSendStringA("play lirovan", empty, sizeof empty, nullptr), MCIERR_NONE);
    EXPECT_STREQ(empty, "");
}

TEST_F(Playback, TheObserverSeesEveryCommandInOrderAsSent) {
    std::vector<std::string> seen;
    media::setCommandObserver([&](const std::string& c) { seen.push_back(c); });
    send("play lirovan");
    send(openCommand(fixture("tone440.mp3")));
    send("nonsense");
    send("close all");
    media::setCommandObserver({});
    send("close all");
    EXPECT_EQ(seen, (std::vector<std::string>{"play lirovan", openCommand(fixture("tone440.mp3")), "nonsense",
                                              "close all"}));
}

TEST_F(Playback, TheEndListenerHearsOnlyOfAFileThatEndsByItself) {
    struct Heard {
        std::mutex mutex;
        std::vector<std::string> aliases;
    };
    const auto ends = std::make_shared<Heard>();
    const auto endsHeard = [ends] {
        std::lock_guard lock(ends->mutex);
        return ends->aliases;
    };
    media::setEndListener([ends](const std::string& alias) {
        std::lock_guard lock(ends->mutex);
        ends->aliases.push_back(alias);
    });
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"), "Lirovan")), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    send("pause lirovan");
    ASSERT_TRUE(halted());
    send("resume lirovan");
    send("stop lirovan");
    ASSERT_TRUE(halted());
    EXPECT_TRUE(endsHeard().empty());

    send("play lirovan");
    ASSERT_TRUE(waitFor([&] { return !endsHeard().empty(); }));
    EXPECT_EQ(status("lirovan", "mode"), "stopped");
    send("close lirovan");
    EXPECT_EQ(endsHeard(), std::vector<std::string>{"lirovan"});
    media::setEndListener({});
}

// Takes its time to close, like a driver draining its device.
class SlowClosingSink final : public ForwardingSink {
public:
    using ForwardingSink::ForwardingSink;
    void close() override {
        std::this_thread::sleep_for(150ms);
        ForwardingSink::close();
    }
};

TEST_F(Playback, ANewFileIsNotHeardUntilTheClosedOneHasReleasedItsOutput) {
    media::setSinkFactory(
        [capture = hub_.factory()] { return std::make_unique<SlowClosingSink>(capture()); });
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    send("stop lirovan");
    const auto closedAt = std::chrono::steady_clock::now();
    send("close lirovan");
    ASSERT_EQ(send(openCommand(fixture("tone660.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(waitFor([&] { return hub_.frames(1) >= kRate / 2; }));

    const auto first = hub_.record(0);
    const auto second = hub_.record(1);
    // The new file waits for the old output, or, where the old one is slower
    // to let go than the handover allows (a loaded machine), for that limit.
    ASSERT_TRUE(first.closed);
    EXPECT_GE(second.firstWriteAt, std::min(first.closedAt, closedAt + media::OutputHandover::kLimit));
    EXPECT_NEAR(velmyr_test::toneFrequency(second.samples, 2, kRate, 0, kRate / 2), 660, 3);
}

// An output that can be made to hang, like a driver that stopped answering.
class StallingSink final : public velmyr_test::NullSink {
public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool stalled = true;
        std::atomic<int> writesWaiting{0};
        void release() {
            {
                std::lock_guard lock(mutex);
                stalled = false;
            }
            opened.notify_all();
        }
        void wait() {
            ++writesWaiting;
            velmyr_test::notifyWaiters();
            std::unique_lock lock(mutex);
            opened.wait_for(lock, 20s, [&] { return !stalled; });
        }
    };
    explicit StallingSink(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
    std::size_t write(const std::int16_t*, std::size_t frames) override {
        gate_->wait();
        return frames;
    }
    std::int64_t drop() override {
        gate_->wait();
        return 0;
    }
    void close() override { gate_->wait(); }

private:
    std::shared_ptr<Gate> gate_;
};

TEST_F(Playback, CommandsReturnAtOnceWhileTheOutputHangs) {
    auto gate = std::make_shared<StallingSink::Gate>();
    media::setSinkFactory([gate] { return std::make_unique<StallingSink>(gate); });
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    ASSERT_TRUE(waitFor([&] { return gate->writesWaiting > 0; }));

    // The output stays stuck for 20 s: a command that returns well within
    // that did not wait for it, however loaded the machine.
    const auto returnsSoon = [](const std::string& command) {
        const auto start = std::chrono::steady_clock::now();
        send(command);
        return std::chrono::steady_clock::now() - start < kPatience;
    };
    for (const char* command : {"set lirovan audio all off", "pause lirovan", "resume lirovan",
                                "stop lirovan", "status lirovan position", "close lirovan", "close all"})
        EXPECT_TRUE(returnsSoon(command)) << command;
    ASSERT_EQ(send(openCommand(fixture("tone660.mp3"))), MCIERR_NONE);
    EXPECT_TRUE(returnsSoon("play lirovan"));

    const auto start = std::chrono::steady_clock::now();
    media::shutdown(300ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kPatience);
    gate->release();  // the abandoned playback threads may now end
}

class FailingSink final : public velmyr_test::NullSink {
public:
    bool open(long, int, media::PlaybackThread&) override { return false; }
};

TEST_F(Playback, ADeviceWithoutOutputIsNotReadyAndPlaysNothing) {
    media::setSinkFactory([] { return std::make_unique<FailingSink>(); });
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "not ready"; }));
    EXPECT_EQ(send("play lirovan"), MCIERR_NONE);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(position("lirovan"), 0);
    EXPECT_EQ(send("close lirovan"), MCIERR_NONE);
}

// An output with a queue ahead of the listener, as a sound server has: a
// pause keeps it and resume goes on from the same sample; what stop and mute
// drop from it is played again, not skipped.
class QueuedPlayback : public MediaTest {
protected:
    QueuedPlayback() : MediaTest({2.0, std::chrono::milliseconds(120)}) {}
};

TEST_F(QueuedPlayback, PauseKeepsTheQueueAndStopDropsItAndNothingIsLost) {
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    for (const char* halt : {"pause lirovan", "stop lirovan", "pause lirovan"}) {
        ASSERT_TRUE(heardAtLeast(heard() + kRate / 3));
        const auto halts = hub_.record(0).pauses;
        ASSERT_EQ(send(halt), MCIERR_NONE);
        ASSERT_TRUE(waitFor([&] { return hub_.record(0).pauses > halts; }));
        // The position is what the listener heard, not what was handed over.
        EXPECT_LE(position("lirovan") * kRate / 1000, hub_.frames(0));
        ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    }
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "stopped"; }));
    const auto record = hub_.record(0);
    EXPECT_EQ(record.drops, 1) << "only the stop drops what is queued";
    EXPECT_NEAR(record.frames(), kToneFrames, kBlock);
    // Rejoined where the listener left off: still a clean tone across the joins.
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, 0, record.frames()), 440, 1);
}

}  // namespace
