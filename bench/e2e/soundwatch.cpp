// e2e_soundwatch: how long after a command the sound output starts or stops.
//
//   parec ... --raw --format=s16le --channels=2 |
//       e2e_soundwatch sound|silence [--after-ms N] COMMAND...
//
// Reads the live recording from stdin. Once the stream flows in real time (the
// backlog drained) and has been in the opposite state (silent before "sound",
// sounding before "silence") for N ms (300 by default), runs COMMAND and
// reports, in milliseconds from the moment it was started:
//   latency_ms  when the recording changed state: the first loud sample, or
//               the start of the first quiet stretch that lasts;
//   command_ms  how long COMMAND itself ran (xdotool's own time);
//   at_ms       the moment of the change on the monotonic clock, for commands
//               that report their own moment (e2e_click).
// Each sample's time is its arrival time less the samples that arrived after
// it in the same read, so the pipe's chunking does not add to the figure.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kLoud = 1000;             // of 32767: about -30 dBFS
constexpr long kQuietRun = kRate / 10;  // 100 ms of quiet counts as silence
constexpr double kLimitSeconds = 10.0;

double msSince(Clock::time_point t0, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

pid_t start(char** argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "sound") != 0 && std::strcmp(argv[1], "silence") != 0)) {
        std::fprintf(stderr, "usage: parec ... | e2e_soundwatch sound|silence [--after-ms N] COMMAND...\n");
        return 2;
    }
    const bool wantSound = std::strcmp(argv[1], "sound") == 0;
    char** commandArgs = argv + 2;
    double beforeSeconds = 0.3;  // the opposite state must hold this long first
    if (argc >= 5 && std::strcmp(argv[2], "--after-ms") == 0) {
        beforeSeconds = std::atof(argv[3]) / 1000;
        commandArgs = argv + 4;
    }
    signal(SIGPIPE, SIG_IGN);

    std::vector<int16_t> buffer(4096 * kChannels);
    std::vector<char> carry;  // bytes of an incomplete frame from the previous read
    long quietRun = 0;        // consecutive quiet frames
    long soundingRun = 0;     // frames without a quiet gap of 20 ms
    Clock::time_point quietStart{};
    bool armed = false;
    pid_t command = -1;
    Clock::time_point t0{}, commandEnd{};
    const auto begin = Clock::now();
    const auto report = [&](Clock::time_point when) {
        if (commandEnd == Clock::time_point{}) {
            waitpid(command, nullptr, 0);
            commandEnd = Clock::now();
        }
        std::printf("latency_ms=%.1f command_ms=%.1f at_ms=%.3f\n", msSince(t0, when),
                    msSince(t0, commandEnd),
                    std::chrono::duration<double, std::milli>(when.time_since_epoch()).count());
        std::fflush(stdout);
    };

    for (;;) {
        if (msSince(begin, Clock::now()) > (kLimitSeconds + 20) * 1000) {
            std::fprintf(stderr, "e2e_soundwatch: the recording never settled\n");
            return 1;
        }
        if (command > 0 && commandEnd == Clock::time_point{}) {
            int status;
            if (waitpid(command, &status, WNOHANG) == command) commandEnd = Clock::now();
        }
        pollfd pfd{STDIN_FILENO, POLLIN, 0};
        if (poll(&pfd, 1, 1) <= 0) continue;
        char bytes[sizeof(int16_t) * 4096 * kChannels];
        const ssize_t got = read(STDIN_FILENO, bytes, sizeof bytes);
        if (got <= 0) {
            std::fprintf(stderr, "e2e_soundwatch: the recording ended\n");
            return 1;
        }
        const auto arrival = Clock::now();
        carry.insert(carry.end(), bytes, bytes + got);
        const std::size_t frameBytes = sizeof(int16_t) * kChannels;
        const std::size_t count = carry.size() / frameBytes;
        std::memcpy(buffer.data(), carry.data(), count * frameBytes);
        carry.erase(carry.begin(), carry.begin() + static_cast<long>(count * frameBytes));

        // More data waiting at once means a backlog: the stream is not live yet.
        pollfd more{STDIN_FILENO, POLLIN, 0};
        const bool backlog = poll(&more, 1, 0) > 0;

        for (std::size_t f = 0; f < count; ++f) {
            const int16_t* frame = &buffer[f * kChannels];
            bool loud = false;
            for (int c = 0; c < kChannels; ++c) loud = loud || std::abs(frame[c]) > kLoud;
            const auto when = arrival - std::chrono::microseconds((count - 1 - f) * 1000000L / kRate);
            if (loud) {
                quietRun = 0;
            } else if (quietRun++ == 0) {
                quietStart = when;
            }
            soundingRun = quietRun >= kRate / 50 ? 0 : soundingRun + 1;

            if (!armed) continue;
            if (wantSound && loud) {
                report(when);
                return 0;
            }
            if (!wantSound && quietRun >= kQuietRun) {
                report(quietStart);
                return 0;
            }
        }

        // Start the command once the opposite state has held, live, for a while.
        const long before = static_cast<long>(beforeSeconds * kRate);
        if (!armed && !backlog && (wantSound ? quietRun >= before : soundingRun >= before)) {
            armed = true;
            quietRun = 0;
            soundingRun = 0;
            t0 = Clock::now();
            command = start(commandArgs);
        }
        if (armed && msSince(t0, arrival) > kLimitSeconds * 1000) {
            std::fprintf(stderr, "e2e_soundwatch: no %s within %.0f s\n", argv[1], kLimitSeconds);
            waitpid(command, nullptr, 0);
            return 1;
        }
    }
}
