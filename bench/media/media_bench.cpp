// Media layer benchmarks.
//
// 1. CPU time per minute of 128 kbps stereo playback into the paced silent
//    output, beside the CPU time the mpg123 command needs to decode the same
//    file to /dev/null, and the ratio.
// 2. Command latency: from play, pause, resume, stop and mute to the output
//    being told (its first write, its pause, resume or drop), beside the
//    10 ms budget, and the ratio.
// 3. How long the open command keeps its caller for an hour of audio without
//    a length header, beside the open of the 3 s fixture.
//
// Usage: velmyr_media_bench [--seconds N] [--repeats N] [--output silent|device]
//   --seconds: how long to play for the CPU figure (default 20; scaled to a
//              minute). --repeats: samples per latency figure (default 20).
//   --output device: measure through the program's own output (the sound
//              server, else the card, else silence) instead of the silent
//              output; the figures then end where the server is told, whose
//              own answer comes on top.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/output/audio_sink.h"
#include "platform/media/mci.h"
#include "platform/media/media_layer.h"
#include "platform/media/test_hooks.h"
#include "platform/media/output/forwarding_sink.h"
#include "platform/media/output/silent_sink.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void send(const std::string& command) {
    if (const MCIERROR error = mciSendStringA(command.c_str(), nullptr, 0, nullptr))
        std::fprintf(stderr, "command failed (%u): %s\n", error, command.c_str());
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The fixture begins with an information frame that gives the length of that
// one file. Left in each copy, the decoder would stop after the first copy
// (mpg123 plays on regardless), so it is taken out.
std::string withoutInfoFrame(const std::string& mp3) {
    static constexpr int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr long kRates[4] = {44100, 48000, 32000, 0};
    if (mp3.size() < 4 || static_cast<unsigned char>(mp3[0]) != 0xFF) return mp3;
    const auto flags = static_cast<unsigned char>(mp3[2]);  // MPEG-1 layer III
    const long rate = kRates[(flags >> 2) & 3];
    const int kbps = kKbps[flags >> 4];
    if (rate == 0 || kbps == 0) return mp3;
    const auto frameBytes = static_cast<std::size_t>(144000L * kbps / rate + ((flags >> 1) & 1));
    const std::string first = mp3.substr(0, frameBytes);
    if (first.find("Info") == std::string::npos && first.find("Xing") == std::string::npos) return mp3;
    return mp3.substr(frameBytes);
}

// A minute of 128 kbps stereo audio: the 3 s fixture twenty times over.
std::string makeMinuteFile(const std::filesystem::path& dir) {
    const auto path = dir / "minute.mp3";
    std::ifstream in(std::string(VELMYR_FIXTURES_DIR) + "/tone440.mp3", std::ios::binary);
    const std::string tone =
        withoutInfoFrame(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 20; ++i) out << tone;
    return path.string();
}

double mpg123CpuSeconds(const std::string& file) {
    const double before = childrenCpuSeconds();
    std::vector<std::string> args = {"mpg123", "-q", "-w", "/dev/null", file};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "mpg123", nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run mpg123\n");
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return childrenCpuSeconds() - before;
}

bool useDevice = false;

std::unique_ptr<media::AudioSink> makeOutput() {
    if (useDevice) return media::defaultSinkFactory()();
    return media::makeSilentSink();
}

void cpuBenchmark(const std::string& file, int seconds) {
    media::setSinkFactory(makeOutput);
    const double before = processCpuSeconds();
    send("open " + file + " type mpegvideo alias bench");
    send("play bench");
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    // Scaled by what was played, so a file that ends early cannot flatter it.
    char position[32] = "0";
    mciSendStringA("status bench position", position, sizeof position, nullptr);
    send("close bench");
    media::shutdown(5s);
    const double played = std::max(1.0, std::atof(position)) / 1000.0;
    const double perMinute = (processCpuSeconds() - before) * 60.0 / played;

    double baseline = 0;
    constexpr int kRuns = 5;  // the baseline is short: take the best of a few
    for (int i = 0; i < kRuns; ++i) {
        const double run = mpg123CpuSeconds(file);
        baseline = i == 0 ? run : std::min(baseline, run);
    }
    std::printf("CPU per minute of playback into the %s output: %.1f ms (played %.1f s)\n",
                useDevice ? "device" : "silent", perMinute * 1000, played);
    std::printf("  baseline, mpg123 -w /dev/null on the same minute:  %.1f ms\n", baseline * 1000);
    std::printf("  ratio: %.2f (target at most 1.5)\n", baseline > 0 ? perMinute / baseline : 0.0);
}

// An output paced like the silent one that notes when things reach it.
struct Events {
    std::mutex mutex;
    std::condition_variable changed;
    Clock::time_point lastWrite{}, lastSoundWrite{}, lastHalt{}, lastResume{}, lastDrop{};
    long writes = 0;

    template <typename F>
    void note(F&& f) {
        {
            std::lock_guard lock(mutex);
            f();
        }
        changed.notify_all();
    }
    // Waits until `time` (a member) is later than `since`; returns the delay.
    double waitAfter(Clock::time_point Events::*time, Clock::time_point since) {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 2s, [&] { return this->*time > since; })) return -1;
        return std::chrono::duration<double, std::milli>(this->*time - since).count();
    }
};

// The output of the run, noting when each of its calls comes.
class TimingSink : public media::ForwardingSink {
public:
    explicit TimingSink(std::shared_ptr<Events> events)
        : ForwardingSink(makeOutput()), events_(std::move(events)) {}
    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        const bool silent = std::all_of(samples, samples + frames * 2, [](std::int16_t s) { return s == 0; });
        const auto now = Clock::now();
        events_->note([&] {
            events_->lastWrite = now;
            if (!silent) events_->lastSoundWrite = now;
            ++events_->writes;
        });
        return ForwardingSink::write(samples, frames);
    }
    std::int64_t drop() override {
        const auto discarded = ForwardingSink::drop();
        const auto now = Clock::now();
        events_->note([&] { events_->lastDrop = now; });
        return discarded;
    }
    std::int64_t pause() override {
        const auto discarded = ForwardingSink::pause();
        const auto now = Clock::now();
        events_->note([&] { events_->lastHalt = now; });
        return discarded;
    }
    void resume() override {
        ForwardingSink::resume();
        const auto now = Clock::now();
        events_->note([&] { events_->lastResume = now; });
    }

private:
    std::shared_ptr<Events> events_;
};

struct Figures {
    std::vector<double> samples;
    void add(double ms) {
        if (ms >= 0) samples.push_back(ms);
    }
    double median() {
        if (samples.empty()) return -1;
        std::sort(samples.begin(), samples.end());
        return samples[samples.size() / 2];
    }
    double worst() const { return samples.empty() ? -1 : *std::max_element(samples.begin(), samples.end()); }
};

void latencyBenchmark(const std::string& file, int repeats) {
    auto events = std::make_shared<Events>();
    media::setSinkFactory([events] { return std::make_unique<TimingSink>(events); });
    Figures play, pause, resume, stop, mute, unmute;
    // Commands come at random moments of the output's 10 ms write cycle, not
    // in step with it.
    std::mt19937 generator(1);
    std::uniform_int_distribution<int> jitterUs(0, 10000);
    const auto settle = [&](std::chrono::milliseconds base) {
        std::this_thread::sleep_for(base + std::chrono::microseconds(jitterUs(generator)));
    };
    // From a command to what the output sees of it.
    const auto timed = [&](const std::string& command, Figures& figures, Clock::time_point Events::*seen) {
        const auto t = Clock::now();
        send(command);
        figures.add(events->waitAfter(seen, t));
    };
    for (int i = 0; i < repeats; ++i) {
        send("open " + file + " type mpegvideo alias bench");
        std::this_thread::sleep_for(50ms);  // the output opens on its own thread
        timed("play bench", play, &Events::lastWrite);
        settle(100ms);
        timed("pause bench", pause, &Events::lastHalt);
        settle(50ms);
        timed("resume bench", resume, &Events::lastResume);
        settle(100ms);
        // Mute and unmute discard what the output holds; unmute then writes sound.
        timed("set bench audio all off", mute, &Events::lastDrop);
        settle(50ms);
        timed("set bench audio all on", unmute, &Events::lastSoundWrite);
        settle(50ms);
        timed("stop bench", stop, &Events::lastDrop);
        send("close bench");
    }
    media::shutdown(5s);

    std::printf("Command latency to the output (median / worst of %d, ms; budget 10 ms):\n", repeats);
    const auto row = [](const char* name, Figures& f) {
        const double median = f.median();
        std::printf("  %-8s %6.2f / %6.2f   ratio to budget %.2f\n", name, median, f.worst(), median / 10.0);
    };
    row("play", play);
    row("pause", pause);
    row("resume", resume);
    row("stop", stop);
    row("mute", mute);
    row("unmute", unmute);
}

double openMilliseconds(const std::string& file) {
    const auto start = Clock::now();
    send("open " + file + " type mpegvideo alias bench");
    const auto took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    send("close bench");
    return took;
}

void openBenchmark(const std::filesystem::path& dir, const std::string& minute) {
    const auto hour = (dir / "hour.mp3").string();
    {
        std::ifstream in(minute, std::ios::binary);
        const std::string audio((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(hour, std::ios::binary);
        for (int i = 0; i < 60; ++i) out << audio;
    }
    const std::string fixture = std::string(VELMYR_FIXTURES_DIR) + "/tone440.mp3";
    openMilliseconds(hour);  // both now in the page cache
    openMilliseconds(fixture);
    const double long_ = openMilliseconds(hour), short_ = openMilliseconds(fixture);
    media::shutdown(5s);
    std::printf("Open of an hour without a length header: %.2f ms\n", long_);
    std::printf("  baseline, open of the 3 s fixture:        %.2f ms\n", short_);
    std::printf("  ratio: %.2f\n", short_ > 0 ? long_ / short_ : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20, repeats = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--repeats") == 0)
            repeats = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--output") == 0)
            useDevice = std::strcmp(argv[i + 1], "device") == 0;
    }
    const auto dir = std::filesystem::temp_directory_path() / ("velmyr-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = makeMinuteFile(dir);
    cpuBenchmark(file, std::min(seconds, 60));
    latencyBenchmark(file, repeats);
    openBenchmark(dir, file);
    std::filesystem::remove_all(dir);
    return 0;
}
