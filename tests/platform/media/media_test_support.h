// Shared set-up for tests that drive the media layer through its command
// entry point with capture outputs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include "tests/support/capture_sink.h"
#include "platform/media/mci.h"
#include "platform/media/output/forwarding_sink.h"
#include "platform/media/media_layer.h"
#include "platform/media/test_hooks.h"
#include "tests/support/sink_support.h"
#include "tests/support/wait.h"

namespace media_test {

using namespace std::chrono_literals;
using media::ForwardingSink;

using velmyr_test::kPatience;
using velmyr_test::waitFor;

inline std::string fixture(const std::string& name) { return std::string(VELMYR_FIXTURES_DIR) + "/" + name; }

inline MCIERROR send(const std::string& command) {
    return mciSendStringA(command.c_str(), nullptr, 0, nullptr);
}

inline std::string status(const std::string& alias, const std::string& item) {
    char reply[64] = "unset";
    if (mciSendStringA(("status " + alias + " " + item).c_str(), reply, sizeof reply, nullptr) != MCIERR_NONE)
        return "error";
    return reply;
}

inline std::int64_t position(const std::string& alias) {
    const std::string text = status(alias, "position");
    return text == "error" ? -1 : std::stoll(text);
}

inline std::string openCommand(const std::string& path, const std::string& alias = "lirovan") {
    return "open " + path + " type mpegvideo alias " + alias;
}

// A temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("velmyr-media-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name, const std::string& bytes) const {
        const auto p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::string copy(const std::string& fixtureName, const std::string& name) const {
        const auto p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::filesystem::copy_file(fixture(fixtureName), p);
        return p.string();
    }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

// Every test starts with no device open and outputs that record what they
// hear, and leaves nothing running behind it.
class MediaTest : public ::testing::Test {
protected:
    explicit MediaTest(velmyr_test::CaptureOptions options = {4.0, std::chrono::milliseconds(0)})
        : hub_(options) {}

    void SetUp() override {
        media::shutdown(std::chrono::seconds(5));
        media::setSinkFactory(hub_.factory());
    }
    void TearDown() override {
        media::setCommandObserver({});
        media::shutdown(std::chrono::seconds(5));
        media::setSinkFactory({});
    }

    // Frames heard so far by the most recently made output.
    std::int64_t heard() const { return hub_.sinkCount() ? hub_.frames(hub_.sinkCount() - 1) : 0; }
    bool heardAtLeast(std::int64_t frames) const {
        return waitFor([&] { return heard() >= frames; });
    }
    // Waits until the playback thread has carried out a pause or stop: its
    // output was halted after it last went on.
    bool halted(std::size_t sink = 0) const {
        return waitFor([&] {
            const auto record = hub_.record(sink);
            return record.pauses > record.resumes;
        });
    }

    velmyr_test::CaptureHub hub_;
};

}  // namespace media_test
