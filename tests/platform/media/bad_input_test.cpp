// Files and paths that are not what they should be: none may crash, hang or
// leak, and a bad open leaves the alias free.
#include <sys/stat.h>

#include <random>

#include "media_test_support.h"
#include "platform/media/shortpath.h"

namespace {

using namespace media_test;

constexpr long kRate = 44100;

class BadInput : public MediaTest {
protected:
    // What the player module does: the short form of the path into the open
    // command, then play.
    MCIERROR openAndPlay(const std::string& path) {
        char form[255] = {};
        const unsigned long kept = GetShortPathNameA(path.c_str(), form, sizeof form);
        const MCIERROR opened = send("open " + std::string(form, kept) + " type mpegvideo alias lirovan");
        send("play lirovan");
        return opened;
    }
    bool endsWithin(std::chrono::milliseconds limit = kPatience) {
        return waitFor([] { return status("lirovan", "mode") == "stopped"; }, limit);
    }
};

TEST_F(BadInput, FilesThatCannotBeOpenedLeaveNothingOpen) {
    TempDir dir;
    std::string random(20000, '\0');
    std::mt19937 generator(7);
    for (auto& c : random) c = static_cast<char>(generator());
    const std::string riff = "RIFF\x24\x00\x00\x00WAVEfmt " + std::string(200, '\0');
    const struct {
        std::string path;
        MCIERROR error;
    } cases[] = {
        {(dir.path() / "missing.mp3").string(), MCIERR_FILE_NOT_FOUND},
        {dir.file("empty.mp3", ""), MCIERR_INVALID_FILE},
        {dir.file("wave.mp3", riff), MCIERR_INVALID_FILE},
        {dir.path().string(), MCIERR_INVALID_FILE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(send(openCommand(c.path)), c.error) << c.path;
        EXPECT_EQ(send("play lirovan"), MCIERR_INVALID_DEVICE_NAME) << c.path;
    }
    // Random bytes may hold something that looks like a frame: then it plays
    // its noise and ends like any file.
    if (send(openCommand(dir.file("random.mp3", random))) == MCIERR_NONE) {
        send("play lirovan");
        EXPECT_TRUE(endsWithin());
        send("close lirovan");
    }
    EXPECT_EQ(send("status lirovan mode"), MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(BadInput, AFifoNamedMp3IsRefusedWithoutBlocking) {
    TempDir dir;
    const auto fifo = (dir.path() / "pipe.mp3").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(send(openCommand(fifo)), MCIERR_INVALID_FILE);
}

TEST_F(BadInput, ATruncatedFilePlaysWhatItHasThenEnds) {
    ASSERT_EQ(openAndPlay(fixture("truncated880.mp3")), MCIERR_NONE);
    ASSERT_TRUE(endsWithin());
    const auto record = hub_.record(0);
    // 20 001 bytes of 128 kbps audio: about 1.25 s.
    EXPECT_GT(record.frames(), kRate);
    EXPECT_LT(record.frames(), kRate * 3 / 2);
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, kRate / 4, kRate / 2), 880, 5);
    EXPECT_EQ(send("close lirovan"), MCIERR_NONE);
}

TEST_F(BadInput, ALargeTagBeforeTheAudioIsSkipped) {
    ASSERT_EQ(openAndPlay(fixture("bigtag660.mp3")), MCIERR_NONE);
    ASSERT_TRUE(endsWithin());
    const auto record = hub_.record(0);
    EXPECT_NEAR(record.frames(), 3 * kRate, kRate / 100);
    EXPECT_NEAR(velmyr_test::toneFrequency(record.samples, 2, kRate, 0, 2 * kRate), 660, 3);
}

TEST_F(BadInput, PathsWithBlanksNonAsciiNamesAndBackslashJoinsPlay) {
    TempDir dir;
    const std::string folder = (dir.path() / "My Music  (live)").string();
    const std::string paths[] = {
        dir.copy("tone440.mp3", "My Music  (live)/a song with  blanks .mp3"),
        dir.copy("tone440.mp3", "Ünïcødé ♫/Ça va – 東京.mp3"),
        dir.copy("tone440.mp3", "x type mpegvideo alias y/z type q.mp3"),
    };
    std::vector<std::string> played(std::begin(paths), std::end(paths));
    played.push_back(folder + "\\a song with  blanks .mp3");
    for (std::size_t i = 0; i < played.size(); ++i) {
        send("stop lirovan");
        send("close lirovan");
        ASSERT_EQ(openAndPlay(played[i]), MCIERR_NONE) << played[i];
        ASSERT_TRUE(waitFor([&] { return hub_.frames(i) >= kRate / 4; })) << played[i];
    }
}

TEST_F(BadInput, APathLongerThanTheShortPathBufferStillPlays) {
    TempDir dir;
    std::string relative = "deep";
    while (relative.size() < 400) relative += "/another folder of a long path";
    const auto path = dir.copy("tone660.mp3", relative + "/tone.mp3");
    ASSERT_GT(path.size(), 254u);
    ASSERT_EQ(openAndPlay(path), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 2));
    EXPECT_NEAR(velmyr_test::toneFrequency(hub_.record(0).samples, 2, kRate, 0, kRate / 2), 660, 3);
}

TEST_F(BadInput, AFileRemovedWhilePlayingEndsQuietly) {
    TempDir dir;
    const auto path = dir.copy("tone440.mp3", "going.mp3");
    ASSERT_EQ(openAndPlay(path), MCIERR_NONE);
    ASSERT_TRUE(heardAtLeast(kRate / 10));
    std::filesystem::remove(path);
    // The open file stays readable to the decoder until it is closed.
    EXPECT_TRUE(endsWithin());
    EXPECT_EQ(send("close lirovan"), MCIERR_NONE);
}

}  // namespace
