// The player module called many times in a row: every file opened is
// released again, so threads and open files come back to where they were.
// Resident memory is reported, not asserted: the allocator keeps what it got.
#include <algorithm>
#include <cstdio>

#include "player/Lirovan.h"
#include "tests/platform/media/media_test_support.h"
#include "tests/platform/media/process_usage.h"

namespace {

using namespace media_test;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 1000;
constexpr long kRate = 44100;

struct Peak {
    int threads = 0;
    int descriptors = 0;
    long residentKilobytes = 0;
    void see(const ProcessUsage& u) {
        threads = std::max(threads, u.threads);
        descriptors = std::max(descriptors, u.descriptors);
        residentKilobytes = std::max(residentKilobytes, u.residentKilobytes);
    }
};

class PlayerLoad : public MediaTest {
protected:
    // A short queue, as a sound server keeps, so that a pause drops and
    // rewinds; slower than real time, so that a file outlasts a thousand
    // pauses under a sanitizer.
    PlayerLoad() : MediaTest({0.25, std::chrono::milliseconds(100)}) {}

    // Waits until every device closed so far has released its thread and file.
    bool backTo(const ProcessUsage& level) const {
        return waitFor([&] {
            const auto now = processUsage();
            return now.threads == level.threads && now.descriptors == level.descriptors;
        });
    }

    void report(const char* what, const ProcessUsage& start, const Peak& peak, const ProcessUsage& end,
                const std::string& extra) {
        char line[400];
        std::snprintf(line, sizeof line,
                      "%d rounds of %s: threads %d/%d/%d, descriptors %d/%d/%d, "
                      "resident KiB %ld/%ld/%ld (start/peak/end)%s",
                      kRounds, what, start.threads, peak.threads, end.threads, start.descriptors,
                      peak.descriptors, end.descriptors, start.residentKilobytes, peak.residentKilobytes,
                      end.residentKilobytes, extra.c_str());
        RecordProperty("figures", line);
        std::printf("[ figures  ] %s\n", line);
    }
};

TEST_F(PlayerLoad, PlayFileOverAndOverReleasesEveryFileItReplaces) {
    TempDir dir;
    const std::string missing = (dir.path() / "gone.mp3").string();
    const std::string tones[] = {fixture("tone440.mp3"), fixture("tone660.mp3"), fixture("tone880.mp3")};
    const auto start = usageBeforePlayback();
    Peak peak;
    peak.see(start);
    int opened = 0;
    const auto begin = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        // Now and then a file that is not there: nothing opens, nothing plays.
        const bool absent = i % 10 == 4;
        Lirovan::PlayFile(absent ? missing : tones[i % 3]);
        opened += absent ? 0 : 1;
        if (i % 10 == 0) peak.see(processUsage());
    }
    const auto perCall = (Clock::now() - begin) / kRounds;
    peak.see(processUsage());

    // The last file plays, and it is the only output left open.
    const std::size_t last = static_cast<std::size_t>(opened - 1);
    ASSERT_EQ(hub_.sinkCount(), static_cast<std::size_t>(opened));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(last) >= kRate / 10; }));
    EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(last).samples, 2, kRate, 0, kRate / 10),
                (kRounds - 1) % 3 == 0   ? 440
                : (kRounds - 1) % 3 == 1 ? 660
                                         : 880,
                5);
    EXPECT_TRUE(waitFor([&] { return hub_.openSinks() == 1; }));
    EXPECT_EQ(status("lirovan", "mode"), "playing");

    Lirovan::StopAll();
    EXPECT_TRUE(backTo(start));
    const auto end = processUsage();
    EXPECT_EQ(end.threads, start.threads);
    EXPECT_EQ(end.descriptors, start.descriptors);
    std::size_t recordedBytes = 0;
    for (std::size_t i = 0; i < hub_.sinkCount(); ++i)
        recordedBytes += hub_.record(i).samples.capacity() * sizeof(std::int16_t);
    report("PlayFile", start, peak, end,
           ", " + std::to_string(std::chrono::duration<double, std::micro>(perCall).count()) +
               " us per call; the capture outputs hold " + std::to_string(recordedBytes / 1024) +
               " KiB of samples");
}

TEST_F(PlayerLoad, PauseAndResumeOverAndOverHoldNothingMore) {
    const auto start = usageBeforePlayback();
    Lirovan::PlayFile(fixture("tone440.mp3"));
    ASSERT_TRUE(heardAtLeast(kRate / 10));
    const auto playing = processUsage();
    Peak peak;
    peak.see(playing);

    // Each pause and each resume reaches the output before the next command
    // comes, unless the file has already ended (it should not: each round
    // plays for an instant, and a pause plays again what the output dropped).
    const auto reached = [&](int pauses, int resumes) {
        return waitFor([&] {
            const auto r = hub_.record(0);
            return (r.pauses >= pauses && r.resumes >= resumes) || status("lirovan", "mode") == "stopped";
        });
    };
    const auto before = hub_.record(0);
    for (int i = 1; i <= kRounds; ++i) {
        Lirovan::PauseTrack();
        ASSERT_TRUE(reached(before.pauses + i, before.resumes + i - 1));
        Lirovan::ResumeTrack();
        ASSERT_TRUE(reached(before.pauses + i, before.resumes + i));
        if (i % 10 == 0) peak.see(processUsage());
    }
    EXPECT_EQ(status("lirovan", "mode"), "playing");
    EXPECT_EQ(hub_.record(0).pauses, before.pauses + kRounds);
    const auto positionAfterRounds = position("lirovan");
    const auto afterRounds = processUsage();
    EXPECT_EQ(afterRounds.threads, playing.threads);
    EXPECT_EQ(afterRounds.descriptors, playing.descriptors);

    Lirovan::StopAll();
    EXPECT_TRUE(backTo(start));
    const auto end = processUsage();
    EXPECT_EQ(end.threads, start.threads);
    EXPECT_EQ(end.descriptors, start.descriptors);
    report("PauseTrack/ResumeTrack", start, peak, end,
           ", position after them " + std::to_string(positionAfterRounds) + " ms");
}

}  // namespace
