// What the test process holds right now, read from /proc: threads, open file
// descriptors and resident memory. For tests that check that playback gives
// back what it took.
#pragma once

#include <dirent.h>

#include <fstream>
#include <string>
#include <thread>

namespace media_test {

struct ProcessUsage {
    int threads = 0;
    int descriptors = 0;
    long residentKilobytes = 0;
};

inline int entriesIn(const char* folder) {
    DIR* listing = ::opendir(folder);
    if (!listing) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ++count;
    }
    ::closedir(listing);
    return count;
}

inline long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

inline ProcessUsage processUsage() {
    ProcessUsage usage;
    usage.threads = entriesIn("/proc/self/task");
    // Less the descriptor of the listing itself.
    usage.descriptors = entriesIn("/proc/self/fd") - 1;
    usage.residentKilobytes = residentKilobytes();
    return usage;
}

// The usage to come back to: taken once the runtime has started the helper
// threads it starts with the first thread of the process (ThreadSanitizer's).
inline ProcessUsage usageBeforePlayback() {
    std::thread([] {}).join();
    return processUsage();
}

}  // namespace media_test
