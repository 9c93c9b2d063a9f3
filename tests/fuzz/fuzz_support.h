// Shared pieces of the fuzz targets: a private scratch folder, file helpers
// and a check that turns a broken invariant into a crash libFuzzer reports.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line, std::string_view detail) {
    std::fprintf(stderr, "\n==velmyr fuzz== check failed at %s:%d: %s\n  %.*s\n", file, line, condition,
                 static_cast<int>(std::min<std::size_t>(detail.size(), 2000)), detail.data());
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                             \
    do {                                                                          \
        if (!(condition)) ::fuzz::fail(#condition, __FILE__, __LINE__, (detail)); \
    } while (false)

// A folder of our own, on tmpfs when there is one (the targets write a file
// per input), removed when the process exits normally.
inline const std::string& scratchFolder() {
    // Never destroyed: the exit handler that removes the folder reads it.
    static const std::string* const folder = new std::string([] {
        std::string base = "/tmp";
        if (::access("/dev/shm", W_OK) == 0)
            base = "/dev/shm";
        else if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
            base = tmp;
        std::string pattern = base + "/velmyr-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return pattern;
    }());
    return *folder;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good(), path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first `bytes` bytes of a committed test fixture.
inline std::string fixtureHead(const std::string& name, std::size_t bytes) {
    std::string data = readFile(std::string(VELMYR_FIXTURES_DIR) + "/" + name);
    FUZZ_CHECK(!data.empty(), name);
    data.resize(std::min(data.size(), bytes));
    return data;
}

}  // namespace fuzz
