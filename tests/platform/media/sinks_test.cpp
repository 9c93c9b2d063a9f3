// The outputs that pace playback: the queue model they share, the silent
// output, and the program's default output.
#include <atomic>
#include <vector>

#include "media_test_support.h"
#include "platform/media/pace_clock.h"
#include "platform/media/silent_sink.h"

namespace {

using namespace media_test;
using media::PaceClock;

TEST(PaceClock, QueueDrainsInRealTimeAndRefillsAfterRunningDry) {
    PaceClock clock(1000, 1.0);  // 1000 frames a second: one frame a millisecond
    const PaceClock::Clock::time_point t0{};
    clock.wrote(100, t0);
    EXPECT_EQ(clock.queued(t0), 100);
    EXPECT_EQ(clock.queued(t0 + 40ms), 60);
    EXPECT_EQ(clock.whenQueuedAtMost(20, t0 + 40ms), t0 + 80ms);
    EXPECT_EQ(clock.queued(t0 + 500ms), 0);
    // Ran dry at 100 ms; new frames are consumed from when they come.
    clock.wrote(50, t0 + 500ms);
    EXPECT_EQ(clock.queued(t0 + 500ms), 50);
    EXPECT_EQ(clock.queued(t0 + 510ms), 40);
}

TEST(PaceClock, PauseFreezesTheQueueAndDropEmptiesIt) {
    PaceClock clock(1000, 2.0);  // consumes twice as fast as real time
    const PaceClock::Clock::time_point t0{};
    clock.wrote(100, t0);
    EXPECT_EQ(clock.queued(t0 + 10ms), 80);
    clock.pauseAt(t0 + 10ms);
    EXPECT_EQ(clock.queued(t0 + 1s), 80);
    EXPECT_EQ(clock.whenQueuedAtMost(0, t0 + 1s), t0 + 1s) << "a paused output never drains";
    clock.resumeAt(t0 + 1s);
    EXPECT_EQ(clock.queued(t0 + 1s + 10ms), 60);
    EXPECT_EQ(clock.dropAt(t0 + 1s + 10ms), 60);
    EXPECT_EQ(clock.queued(t0 + 1s + 10ms), 0);
    clock.wrote(10, t0 + 2s);
    EXPECT_EQ(clock.queued(t0 + 2s), 10);
}

TEST(SilentSink, TakesSamplesNoFasterThanRealTime) {
    media::SilentSink sink;
    velmyr_test::TestThread thread;
    ASSERT_TRUE(sink.open(44100, 2, thread));
    std::vector<std::int16_t> block(441 * 2);
    const auto start = std::chrono::steady_clock::now();
    int wakeUps = 0;
    for (std::int64_t written = 0; written < 2 * 44100;) {  // two seconds
        const auto room = sink.room(std::chrono::steady_clock::now());
        if (room.frames == 0) {
            ++wakeUps;
            std::this_thread::sleep_until(room.retryAt);
            continue;
        }
        const auto frames = std::min<std::size_t>(room.frames, 441);
        ASSERT_TRUE(sink.write(block.data(), frames));
        written += static_cast<std::int64_t>(frames);
    }
    // Lower bounds only: the queue may hold a second ahead; load only slows.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 950ms);
    // The writer is woken a few times a second, not once per block.
    EXPECT_LE(wakeUps, 6);
    EXPECT_EQ(sink.pause(), 0) << "a pause keeps what is queued";
    const auto unheard = sink.unheard(std::chrono::steady_clock::now());
    EXPECT_GT(unheard, 0);
    EXPECT_LE(unheard, 44100);
    EXPECT_EQ(sink.unheard(std::chrono::steady_clock::now() + 1s), unheard);
    EXPECT_EQ(sink.drop(), unheard);
    sink.resume();
    sink.close();
}

// The program's own output: the sound server or card when there is one,
// paced silence when not (as on a build machine). Either way it must not hang
// and must play at the pace of real time. It is watched for the moment the
// playback thread has carried a pause out.
class DefaultOutput : public MediaTest {
protected:
    void SetUp() override {
        MediaTest::SetUp();
        media::setSinkFactory([pauses = pauses_, output = media::defaultSinkFactory()] {
            return std::make_unique<PauseCounter>(output(), pauses);
        });
    }

    class PauseCounter final : public ForwardingSink {
    public:
        PauseCounter(std::unique_ptr<media::AudioSink> output, std::shared_ptr<std::atomic<int>> pauses)
            : ForwardingSink(std::move(output)), pauses_(std::move(pauses)) {}
        std::int64_t pause() override {
            const auto discarded = ForwardingSink::pause();
            ++*pauses_;
            return discarded;
        }

    private:
        std::shared_ptr<std::atomic<int>> pauses_;
    };

    std::shared_ptr<std::atomic<int>> pauses_ = std::make_shared<std::atomic<int>>(0);
};

TEST_F(DefaultOutput, PlaysInRealTimeAndClosesPromptly) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    // The position runs ahead of the listener by at most the silent output's
    // one-second queue (a sound server's is shorter).
    ASSERT_TRUE(eventually([] { return position("lirovan") >= 1600; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
    const int pausesBefore = *pauses_;
    ASSERT_EQ(send("pause lirovan"), MCIERR_NONE);
    ASSERT_TRUE(eventually([&] { return *pauses_ > pausesBefore; }));
    const auto pausedAt = position("lirovan");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(position("lirovan"), pausedAt);
    ASSERT_EQ(send("resume lirovan"), MCIERR_NONE);
    ASSERT_TRUE(eventually([&] { return position("lirovan") > pausedAt + 100; }));

    const auto closing = std::chrono::steady_clock::now();
    send("close all");
    media::shutdown(5s);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
}

}  // namespace
