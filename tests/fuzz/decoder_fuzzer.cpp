// Any bytes as an ".mp3" file: opened through the command entry point, played
// into a capture output that takes samples as fast as they come (muted, or
// paused, resumed, stopped and played on), its status asked, and closed. Every input starts and
// ends with no device open and no playback thread left.
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "tests/support/capture_sink.h"
#include "platform/media/mci.h"
#include "platform/media/media_layer.h"
#include "platform/media/test_hooks.h"

namespace {

using namespace std::chrono_literals;

// Far longer than any input of a few KB takes to decode, even under the
// sanitizers on a loaded machine: reaching it means the device hangs.
constexpr auto kPatience = 8s;
// About 45 s of audio; stops an input that decodes to much more than its size.
constexpr std::int64_t kFrameCap = 2'000'000;

std::string filePath() { return fuzz::scratchFolder() + "/x.mp3"; }

std::string command(const std::string& text, MCIERROR expected = MCIERR_NONE) {
    char reply[64] = "unset";
    const MCIERROR error = mciSendStringA(text.c_str(), reply, sizeof reply, nullptr);
    FUZZ_CHECK(error == expected, text + " gave " + std::to_string(error));
    return reply;
}

bool isNumber(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// Polls with a growing interval: most inputs end within a millisecond, and a
// fixed sleep would cost more than decoding them.
template <typename Condition>
bool within(std::chrono::steady_clock::duration limit, Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto interval = 20us;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(interval);
        interval = std::min<std::chrono::microseconds>(interval * 2, 2ms);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)fuzz::scratchFolder();
    std::atexit([] { media::shutdown(10s); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::writeFile(filePath(), std::string_view(reinterpret_cast<const char*>(data), size));
    velmyr_test::CaptureHub hub(velmyr_test::CaptureOptions{1e6, std::chrono::milliseconds(0)});
    media::setSinkFactory(hub.factory());

    char reply[64] = {};
    const MCIERROR opened = mciSendStringA(("open " + filePath() + " type mpegvideo alias fz").c_str(), reply,
                                           sizeof reply, nullptr);
    if (opened != MCIERR_NONE) {
        FUZZ_CHECK(opened == MCIERR_INVALID_FILE, "open gave " + std::to_string(opened));
        FUZZ_CHECK(hub.sinkCount() == 0, "an output was made for a file that did not open");
        return 0;
    }

    FUZZ_CHECK(command("status fz mode") == "stopped", "fresh device not stopped");
    FUZZ_CHECK(isNumber(command("status fz length")), "length");
    // Inputs of odd length play muted from the start; the others are paused,
    // resumed, stopped and played on.
    const bool muted = size % 2 == 1;
    if (muted) {
        command("set fz audio all off");
        command("play fz");
    } else {
        command("play fz");
        command("pause fz");
        const std::string paused = command("status fz mode");
        // The file may have ended already: a pause then changes nothing.
        FUZZ_CHECK(paused == "paused" || paused == "stopped" || paused == "not ready",
                   "after pause: " + paused);
        command("resume fz");
        command("stop fz");
        command("play fz");
    }

    const bool ended = within(
        kPatience, [&] { return command("status fz mode") != "playing" || hub.frames(0) > kFrameCap; });
    FUZZ_CHECK(ended, "playback neither ended nor grew past the cap");
    command("stop fz");
    FUZZ_CHECK(isNumber(command("status fz position")), "position");
    command("close fz");
    command("status fz mode", MCIERR_INVALID_DEVICE_NAME);

    // The playback thread releases the output and the file by itself.
    media::shutdown(kPatience);
    const velmyr_test::CaptureRecord record = hub.record(0);
    FUZZ_CHECK(hub.sinkCount() == 1, "outputs made: " + std::to_string(hub.sinkCount()));
    FUZZ_CHECK(!record.opened || record.closed, "output left open");
    FUZZ_CHECK(!record.opened || record.channels == 2, "channels");
    FUZZ_CHECK(record.samples.size() % 2 == 0, "odd sample count");
    if (muted)
        FUZZ_CHECK(velmyr_test::peakLevel(record.samples, 2, 0, record.frames()) == 0, "sound while muted");
    return 0;
}
