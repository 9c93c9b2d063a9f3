// The player module's procedures: the exact command texts they send, in
// order, and what those commands do to the media layer.
#include <vector>

#include "player/Lirovan.h"
#include "platform/media/shortpath.h"
#include "tests/platform/media/media_test_support.h"

namespace {

using namespace media_test;
using Commands = std::vector<std::string>;

constexpr long kRate = 44100;

class LirovanCommands : public MediaTest {
protected:
    void SetUp() override {
        MediaTest::SetUp();
        media::setCommandObserver([this](const std::string& c) { sent_.push_back(c); });
    }
    Commands sent() {
        Commands out;
        out.swap(sent_);
        return out;
    }

private:
    Commands sent_;
};

TEST_F(LirovanCommands, EachProcedureSendsItsCommandsInOrder) {
    Lirovan::PauseTrack();
    EXPECT_EQ(sent(), Commands{"pause lirovan"});
    Lirovan::ResumeTrack();
    EXPECT_EQ(sent(), Commands{"resume lirovan"});
    Lirovan::SetPaused(true);
    EXPECT_EQ(sent(), Commands{"pause lirovan"});
    Lirovan::SetPaused(false);
    EXPECT_EQ(sent(), Commands{"resume lirovan"});
    Lirovan::SetMute(true);
    EXPECT_EQ(sent(), Commands{"set lirovan audio all off"});
    Lirovan::SetMute(false);
    EXPECT_EQ(sent(), Commands{"set lirovan audio all on"});
    Lirovan::StopAll();
    EXPECT_EQ(sent(), (Commands{"stop lirovan", "close all"}));
}

TEST_F(LirovanCommands, PlayFileStopsClosesOpensTheShortFormAndPlays) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "My Music/a song.mp3");
    Lirovan::PlayFile(path);
    EXPECT_EQ(sent(), (Commands{"stop lirovan", "close lirovan",
                                "open " + path + " type mpegvideo alias lirovan", "play lirovan"}));
    EXPECT_EQ(status("lirovan", "mode"), "playing");
}

TEST_F(LirovanCommands, PlayFileOfAMissingFileSendsAnEmptyPathAndNothingPlays) {
    TempDir dir;
    Lirovan::PlayFile((dir.path() / "gone.mp3").string());
    EXPECT_EQ(sent(), (Commands{"stop lirovan", "close lirovan", "open  type mpegvideo alias lirovan",
                                "play lirovan"}));
    EXPECT_EQ(send("status lirovan mode"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(hub_.sinkCount(), 0u);
}

TEST_F(LirovanCommands, PlayFileOfATooLongPathOpensItsShortName) {
    TempDir dir;
    std::string relative = "folder";
    while (relative.size() < 300) relative += "/another folder";
    const auto path = dir.copy("tone440.mp3", relative + "/a.mp3");
    Lirovan::PlayFile(path);
    const auto commands = sent();
    ASSERT_EQ(commands.size(), 4u);
    char form[255];
    const auto count = GetShortPathNameA(path.c_str(), form, sizeof form);
    ASSERT_GT(count, 0u);
    EXPECT_EQ(commands[2], "open " + std::string(form, count) + " type mpegvideo alias lirovan");
    EXPECT_TRUE(heardAtLeast(kRate / 4));
}

TEST_F(LirovanCommands, PlayFileWhilePlayingOrPausedReplacesTheFile) {
    Lirovan::PlayFile(fixture("tone440.mp3"));
    ASSERT_TRUE(heardAtLeast(kRate / 4));
    Lirovan::PlayFile(fixture("tone660.mp3"));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(1) >= kRate / 4; }));
    Lirovan::SetPaused(true);
    Lirovan::PlayFile(fixture("tone880.mp3"));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(2) >= kRate / 2; }));

    // Each file was released before the next was heard, and each is the tone
    // it should be, from its start.
    for (std::size_t i = 0; i + 1 < 3; ++i) {
        const auto old = hub_.record(i), next = hub_.record(i + 1);
        ASSERT_TRUE(old.closed);
        EXPECT_LE(old.closedAt, next.firstWriteAt);
    }
    const double tones[] = {440, 660, 880};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(i).samples, 2, kRate, 0, kRate / 4), tones[i], 5);
    EXPECT_EQ(status("lirovan", "mode"), "playing");
    EXPECT_EQ(hub_.openSinks(), 1u);
}

TEST_F(LirovanCommands, AFileOpenedAfterAMuteIsHeard) {
    Lirovan::PlayFile(fixture("tone440.mp3"));
    Lirovan::SetMute(true);
    Lirovan::PlayFile(fixture("tone660.mp3"));
    ASSERT_TRUE(waitFor([&] { return hub_.frames(1) >= kRate / 2; }));
    EXPECT_GT(velmyr_test::peakLevel(hub_.record(1).samples, 2, 0, kRate / 2), 10000);
}

TEST_F(LirovanCommands, ProceduresBeforeAnyPlayOrAfterStopAllChangeNothing) {
    Lirovan::SetPaused(true);
    Lirovan::SetPaused(false);
    Lirovan::SetMute(true);
    Lirovan::StopAll();
    EXPECT_EQ(hub_.sinkCount(), 0u);

    Lirovan::PlayFile(fixture("tone440.mp3"));
    ASSERT_TRUE(heardAtLeast(kRate / 10));
    Lirovan::StopAll();
    EXPECT_EQ(send("status lirovan mode"), MCIERR_INVALID_DEVICE_NAME);
    ASSERT_TRUE(waitFor([&] { return hub_.openSinks() == 0; }));
    const auto heardAtStop = heard();
    Lirovan::SetPaused(false);
    Lirovan::SetMute(false);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(heard(), heardAtStop);
    EXPECT_EQ(hub_.sinkCount(), 1u);
}

TEST_F(LirovanCommands, AFileThatEndsStaysOpenAndNothingElseStarts) {
    Lirovan::PlayFile(fixture("truncated880.mp3"));
    ASSERT_TRUE(waitFor([] { return status("lirovan", "mode") == "stopped"; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(hub_.sinkCount(), 1u);
    EXPECT_EQ(hub_.openSinks(), 1u);
    Lirovan::StopAll();
    EXPECT_TRUE(waitFor([&] { return hub_.openSinks() == 0; }));
}

}  // namespace
