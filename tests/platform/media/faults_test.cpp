// Outputs that stop answering or fail, and files changed under a playing
// device: the caller never waits, nothing crashes, and the next file plays.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <random>

#include "media_test_support.h"
#include "platform/media/output/audio_sink.h"
#include "player/Lirovan.h"
#include "process_usage.h"

namespace {

using namespace media_test;
using Clock = std::chrono::steady_clock;

constexpr long kRate = 44100;
constexpr std::int64_t kToneFrames = 3 * kRate;  // every tone fixture lasts 3 s
constexpr std::int64_t kBlock = kRate / 100;     // the most a capture output takes at once
// A stuck output stays stuck for 30 s (Gate): a command or shutdown that
// returns well within that did not wait for it, however loaded the machine.
constexpr auto kAtOnce = kPatience;

std::string mode() { return status("lirovan", "mode"); }

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// While shut, it holds every output that reaches its hang point, like a
// driver that stopped answering; opened, they all go on.
class Gate {
public:
    void pass() {
        ++reached_;
        velmyr_test::notifyWaiters();
        std::unique_lock lock(mutex_);
        // Bounded, so that a failed test cannot keep a thread for good.
        opened_.wait_for(lock, 30s, [&] { return open_; });
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    int reached() const { return reached_; }

    std::atomic<int> outputsEnded{0};

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::atomic<int> reached_{0};
};

enum class Hang { Open, Write, Drop, Pause, Close };

std::string nameOf(Hang where) {
    switch (where) {
    case Hang::Open: return "Open";
    case Hang::Write: return "Write";
    case Hang::Drop: return "Drop";
    case Hang::Pause: return "Pause";
    case Hang::Close: return "Close";
    }
    return "?";
}

// A capture output that hangs at one of its calls until its gate opens.
class HangingSink final : public ForwardingSink {
public:
    HangingSink(Hang where, std::shared_ptr<Gate> gate, std::unique_ptr<media::AudioSink> capture)
        : ForwardingSink(std::move(capture)), where_(where), gate_(std::move(gate)) {}
    ~HangingSink() override {
        ++gate_->outputsEnded;
        velmyr_test::notifyWaiters();
    }

    bool open(long rate, int channels, media::PlaybackThread& thread) override {
        at(Hang::Open);
        return ForwardingSink::open(rate, channels, thread);
    }
    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        at(Hang::Write);
        return ForwardingSink::write(samples, frames);
    }
    std::int64_t drop() override {
        at(Hang::Drop);
        return ForwardingSink::drop();
    }
    std::int64_t pause() override {
        at(Hang::Pause);
        return ForwardingSink::pause();
    }
    void close() override {
        at(Hang::Close);
        ForwardingSink::close();
    }

private:
    void at(Hang point) {
        if (point == where_) gate_->pass();
    }

    Hang where_;
    std::shared_ptr<Gate> gate_;
};

class StuckOutput : public MediaTest {
protected:
    StuckOutput() : MediaTest({1.0, std::chrono::milliseconds(0)}) {}

    void TearDown() override {
        gate_->open();
        MediaTest::TearDown();
    }

    // Outputs hang at `where`: the first `count` of them, then plain captures.
    void outputsHang(Hang where, int count) {
        media::setSinkFactory([where, count, gate = gate_, capture = hub_.factory(),
                               made = std::make_shared<int>(0)]() -> std::unique_ptr<media::AudioSink> {
            if ((*made)++ < count) return std::make_unique<HangingSink>(where, gate, capture());
            return capture();
        });
    }

    // Sends a command and keeps the longest time any took.
    MCIERROR timed(const std::string& command) {
        const auto start = Clock::now();
        const MCIERROR result = send(command);
        slowest_ = std::max(slowest_, Clock::now() - start);
        return result;
    }
    // Plays a file as the player module does and keeps the longest time any
    // of its commands took: each runs from when it is seen to when the next is.
    void playFileTimed(const std::string& path) {
        std::vector<Clock::time_point> seen;
        media::setCommandObserver([&seen](const std::string&) { seen.push_back(Clock::now()); });
        Lirovan::PlayFile(path);
        seen.push_back(Clock::now());
        media::setCommandObserver({});
        for (std::size_t i = 1; i < seen.size(); ++i) slowest_ = std::max(slowest_, seen[i] - seen[i - 1]);
    }

    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    Clock::duration slowest_{};
};

class StuckAt : public StuckOutput, public ::testing::WithParamInterface<Hang> {};

TEST_P(StuckAt, CommandsReturnAtOnceAndTheNextFileIsHeard) {
    const Hang where = GetParam();
    outputsHang(where, 1);
    ASSERT_EQ(send(openCommand(fixture("tone440.mp3"))), MCIERR_NONE);
    ASSERT_EQ(send("play lirovan"), MCIERR_NONE);
    if (where != Hang::Open && where != Hang::Write) {
        // A new device halts its output when it gets there before the play
        // command: that pause may be the one that hangs.
        ASSERT_TRUE(waitFor([&] { return gate_->reached() > 0 || heard() >= kRate / 10; }));
        if (gate_->reached() == 0)
            send(where == Hang::Close  ? "close lirovan"
                 : where == Hang::Drop ? "stop lirovan"
                                       : "pause lirovan");
    }
    ASSERT_TRUE(waitFor([&] { return gate_->reached() > 0; }));

    for (const char* command : {"play lirovan", "pause lirovan", "resume lirovan", "stop lirovan",
                                "set lirovan audio all off", "set lirovan audio all on",
                                "status lirovan mode", "status lirovan position", "status lirovan length"})
        timed(command);
    const auto playedAt = Clock::now();
    playFileTimed(fixture("tone660.mp3"));
    EXPECT_EQ(mode(), "playing");

    // The stuck output holds on to nothing the next file needs, beyond the
    // wait for it to release the sound device, which is bounded.
    ASSERT_TRUE(waitFor([&] { return hub_.frames(1) >= kRate / 2; }));
    const auto next = hub_.record(1);
    EXPECT_NEAR(velmyr_test::toneFrequency(next.samples, 2, kRate, 0, kRate / 2), 660, 3);
    EXPECT_EQ(gate_->outputsEnded, 0) << "the first output should still be stuck";

    timed("close all");
    const auto shutdownStart = Clock::now();
    media::shutdown(300ms);
    const auto shutdownTook = Clock::now() - shutdownStart;
    EXPECT_LT(shutdownTook, 300ms + kAtOnce);
    EXPECT_LT(slowest_, kAtOnce);

    // Once the output answers again, its thread releases it and ends.
    gate_->open();
    EXPECT_TRUE(waitFor([&] { return gate_->outputsEnded == 1; }));

    const std::string figures =
        "slowest command " + std::to_string(milliseconds(slowest_)) + " ms, next file heard after " +
        std::to_string(milliseconds(next.firstWriteAt - playedAt)) + " ms, shutdown(300 ms) took " +
        std::to_string(milliseconds(shutdownTook)) + " ms";
    RecordProperty("figures", figures);
    std::printf("[ figures  ] output stuck in %s: %s\n", nameOf(where).c_str(), figures.c_str());
}

INSTANTIATE_TEST_SUITE_P(Outputs, StuckAt,
                         ::testing::Values(Hang::Open, Hang::Write, Hang::Drop, Hang::Pause, Hang::Close),
                         [](const auto& info) { return nameOf(info.param); });

TEST_F(StuckOutput, FilesPlayedWhileEveryOutputHangsEndOnceItAnswersAgain) {
    const auto start = usageBeforePlayback();
    outputsHang(Hang::Write, 1000);
    // Each file is played once the one before it hangs: after a bounded wait
    // for the stuck outputs to release the device, it hangs too.
    const char* tones[] = {"tone440.mp3", "tone660.mp3", "tone880.mp3", "tone440.mp3"};
    for (int i = 0; i < 4; ++i) {
        playFileTimed(fixture(tones[i]));
        ASSERT_TRUE(waitFor([&] { return gate_->reached() == i + 1; }));
    }
    EXPECT_LT(slowest_, kAtOnce);
    EXPECT_EQ(processUsage().threads, start.threads + 4);
    EXPECT_EQ(gate_->outputsEnded, 0);

    gate_->open();
    // The closed ones end; the last goes on playing.
    ASSERT_TRUE(waitFor([&] { return gate_->outputsEnded == 3; }));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(3) >= kRate / 2; }));
    EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(3).samples, 2, kRate, 0, kRate / 2), 440, 3);
    EXPECT_EQ(mode(), "playing");
    EXPECT_TRUE(waitFor([&] { return processUsage().threads == start.threads + 1; }));
}

TEST_F(StuckOutput, FilesSkippedPastWhileAnOutputHangsNeverOpenTheirs) {
    outputsHang(Hang::Write, 1);
    playFileTimed(fixture("tone440.mp3"));
    ASSERT_TRUE(waitFor([&] { return gate_->reached() == 1; }));
    // Each of these waits for the stuck output to let go of the device and
    // is closed by the next long before that wait runs out.
    for (const char* tone : {"tone660.mp3", "tone880.mp3", "tone440.mp3"}) playFileTimed(fixture(tone));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(3) >= kRate / 2; }));
    EXPECT_LT(slowest_, kAtOnce);
    for (std::size_t skipped : {1, 2}) {
        const auto record = hub_.record(skipped);
        EXPECT_FALSE(record.opened) << "output " << skipped;
        EXPECT_TRUE(record.closed) << "output " << skipped;
    }
}

// An output whose sound server went away while `up` is false: writes are
// refused and no new output opens until it is back.
class ServerSink final : public ForwardingSink {
public:
    ServerSink(std::shared_ptr<std::atomic<bool>> up, std::unique_ptr<media::AudioSink> capture)
        : ForwardingSink(std::move(capture)), up_(std::move(up)) {}
    bool open(long rate, int channels, media::PlaybackThread& thread) override {
        return *up_ && ForwardingSink::open(rate, channels, thread);
    }
    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        return *up_ ? ForwardingSink::write(samples, frames) : 0;
    }

private:
    std::shared_ptr<std::atomic<bool>> up_;
};

TEST_F(StuckOutput, AnOutputThatFailsMidFileEndsItAndTheNextFileIsHeardOnceTheServerIsBack) {
    auto up = std::make_shared<std::atomic<bool>>(true);
    media::setSinkFactory(
        [up, capture = hub_.factory()] { return std::make_unique<ServerSink>(up, capture()); });
    Lirovan::PlayFile(fixture("tone440.mp3"));
    ASSERT_TRUE(heardAtLeast(kRate / 4));

    *up = false;
    ASSERT_TRUE(waitFor([] { return mode() == "stopped"; }));
    const auto heardWhenGone = hub_.frames(0);
    EXPECT_LT(heardWhenGone, kToneFrames);
    for (const char* command : {"pause lirovan", "resume lirovan", "stop lirovan", "play lirovan",
                                "set lirovan audio all off", "set lirovan audio all on"})
        EXPECT_EQ(timed(command), MCIERR_NONE) << command;
    playFileTimed(fixture("tone660.mp3"));
    EXPECT_TRUE(waitFor([] { return mode() == "not ready"; }));
    EXPECT_EQ(hub_.frames(0), heardWhenGone);
    EXPECT_FALSE(hub_.record(1).opened);

    *up = true;
    playFileTimed(fixture("tone880.mp3"));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(2) >= kRate / 2; }));
    EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(2).samples, 2, kRate, 0, kRate / 2), 880, 3);
    EXPECT_LT(slowest_, kAtOnce);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void overwriteInPlace(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// An output with a short queue ahead of the listener, so that pausing drops
// and rewinds, as it does with a sound server.
class ChangedWhilePlaying : public MediaTest {
protected:
    ChangedWhilePlaying() : MediaTest({2.0, std::chrono::milliseconds(120)}) {}

    bool ended() {
        return waitFor([] { return mode() == "stopped"; });
    }
    // Waits for a pause to reach the output, or for the file to have ended
    // before it came.
    bool haltedOrEnded() {
        return waitFor([&] {
            const auto r = hub_.record(0);
            return r.pauses > r.resumes || mode() == "stopped";
        });
    }
    // Heard by the first output, between two moments given in frames.
    double toneOfFirst(std::int64_t from, std::int64_t count) const {
        return velmyr_test::toneFrequency(hub_.record(0).samples, 2, kRate, from, count);
    }

    void commandsStillWorkAndTheNextFilePlays() {
        for (const char* command : {"pause lirovan", "resume lirovan", "stop lirovan", "play lirovan",
                                    "set lirovan audio all off", "set lirovan audio all on"})
            EXPECT_EQ(send(command), MCIERR_NONE) << command;
        EXPECT_NE(mode(), "error");
        const std::size_t next = hub_.sinkCount();
        Lirovan::PlayFile(fixture("tone880.mp3"));
        ASSERT_TRUE(waitFor([&] { return hub_.frames(next) >= kRate / 2; }));
        EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(next).samples, 2, kRate, 0, kRate / 2), 880, 3);
    }
};

TEST_F(ChangedWhilePlaying, TruncatedBehindThePositionItEndsWhereItWas) {
    TempDir dir;
    // To nothing, and to about 0.1 s of audio, cut mid-frame.
    const off_t cuts[] = {0, 2001};
    for (std::size_t i = 0; i < std::size(cuts); ++i) {
        const auto path = dir.copy("tone440.mp3", "cut" + std::to_string(i) + ".mp3");
        Lirovan::PlayFile(path);
        ASSERT_TRUE(waitFor([&] { return hub_.frames(i) >= kRate / 4; }));
        const auto heardBefore = hub_.frames(i);
        ASSERT_EQ(::truncate(path.c_str(), cuts[i]), 0);
        ASSERT_TRUE(ended()) << cuts[i];
        // Only the little decoded ahead of the cut is heard after it.
        EXPECT_LT(hub_.frames(i), heardBefore + kRate) << cuts[i];
        EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(i).samples, 2, kRate, 0, kRate / 5), 440, 3);
    }
    commandsStillWorkAndTheNextFilePlays();
}

TEST_F(ChangedWhilePlaying, TruncatedWhilePausedItPlaysUpToTheCutAndRewindsWithinIt) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "cut.mp3");
    Lirovan::PlayFile(path);
    ASSERT_TRUE(heardAtLeast(kRate / 10));
    send("pause lirovan");
    ASSERT_TRUE(haltedOrEnded());
    ASSERT_LT(position("lirovan"), 900) << "too late to cut ahead of the position";
    // 20 001 bytes: about 1.25 s of audio, cut mid-frame.
    ASSERT_EQ(::truncate(path.c_str(), 20001), 0);

    send("resume lirovan");
    ASSERT_TRUE(heardAtLeast(heard() + kRate / 10));
    // A pause drops what the output held and seeks back in the shortened file.
    send("pause lirovan");
    ASSERT_TRUE(haltedOrEnded());
    send("resume lirovan");
    ASSERT_TRUE(ended());

    const auto record = hub_.record(0);
    EXPECT_GT(record.frames(), kRate);
    EXPECT_LT(record.frames(), kRate * 3 / 2);
    // Nothing skipped or repeated at the rejoins: one clean tone.
    EXPECT_NEAR(toneOfFirst(0, record.frames()), 440, 1);
    commandsStillWorkAndTheNextFilePlays();
}

TEST_F(ChangedWhilePlaying, ReplacedByRenameTheOpenFileGoesOnAndTheNextPlayOpensTheNewOne) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "song.mp3");
    const auto replacement = dir.copy("tone660.mp3", "song.mp3.new");
    Lirovan::PlayFile(path);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    std::filesystem::rename(replacement, path);
    ASSERT_TRUE(ended());
    EXPECT_NEAR(hub_.frames(0), kToneFrames, kBlock);
    EXPECT_NEAR(toneOfFirst(kToneFrames - kRate, kRate / 2), 440, 3);

    Lirovan::PlayFile(path);
    ASSERT_TRUE(waitFor([&] { return hub_.frames(1) >= kRate / 2; }));
    EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(1).samples, 2, kRate, 0, kRate / 2), 660, 3);
}

TEST_F(ChangedWhilePlaying, OverwrittenInPlaceByAnotherFileItPlaysOnWithTheNewAudio) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "song.mp3");
    Lirovan::PlayFile(path);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    overwriteInPlace(path, readFile(fixture("tone660.mp3")));
    ASSERT_TRUE(ended());
    // Same encoding, so the frames line up and the file keeps its length.
    EXPECT_NEAR(hub_.frames(0), kToneFrames, kRate / 10);
    EXPECT_NEAR(toneOfFirst(0, kRate / 5), 440, 3);
    EXPECT_NEAR(toneOfFirst(kToneFrames - kRate, kRate / 2), 660, 3);
    commandsStillWorkAndTheNextFilePlays();
}

TEST_F(ChangedWhilePlaying, OverwrittenInPlaceWithGarbageItEnds) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "song.mp3");
    std::string garbage(readFile(path).size(), '\0');
    std::mt19937 generator(11);
    for (auto& c : garbage) c = static_cast<char>(generator());
    Lirovan::PlayFile(path);
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    overwriteInPlace(path, garbage);
    ASSERT_TRUE(ended());
    EXPECT_NEAR(toneOfFirst(0, kRate / 5), 440, 3);
    commandsStillWorkAndTheNextFilePlays();
}

}  // namespace
