// Any bytes as the settings file, read and written through the profile calls.
//
// Input: the first line is the request: its first byte picks a section and key
// (the program's own "velmyr"/"path" among them), the rest of the line is the
// value to store. Everything after the first '\n' is the file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/profile/profile.h"

namespace {

struct Name {
    const char* section;
    const char* key;
};
// Some can be stored, some must be refused (blanks around a name, a "]" in a
// section, a "=" in a key, a key that would read as a header or a comment).
constexpr Name kNames[] = {
    {"velmyr", "path"}, {"VELMYR", "Path"},  {"velmyr", "other"}, {"other", "path"},
    {"a b", "c d"},     {" velmyr", "path"}, {"a]b", "k"},        {"s", "k=v"},
    {"s", "[k"},        {"s", ";k"},         {"[s", "k"},         {"s", "#k"},
};
constexpr unsigned long kBufferSizes[] = {1, 2, 5, 255, 65536};
constexpr const char* kDefault = "(default)";

std::string settingsPath() { return fuzz::scratchFolder() + "/velmyr.ini"; }

std::string read(const Name& name, unsigned long size) {
    std::vector<char> buffer(size + 8, '\x5a');
    const unsigned long count = GetPrivateProfileStringA(name.section, name.key, kDefault, buffer.data(),
                                                         size, settingsPath().c_str());
    FUZZ_CHECK(count < size, "count " + std::to_string(count) + " for size " + std::to_string(size));
    FUZZ_CHECK(buffer[count] == '\0', "not terminated after the count");
    FUZZ_CHECK(std::strlen(buffer.data()) == count, "count differs from the text");
    for (std::size_t i = size; i < buffer.size(); ++i)
        FUZZ_CHECK(buffer[i] == '\x5a', "written past the buffer");
    return std::string(buffer.data(), count);
}

std::size_t lineCount(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
           (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// A store either rewrites the text of one line or adds whole lines (a header
// and the entry) between two lines or at the end, where the old last line may
// gain a line end. Every other byte stays as it was.
void checkOtherLinesKept(std::string_view before, std::string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    const std::string_view added = after.substr(prefix, after.size() - prefix - suffix);
    const auto breaks = [](std::string_view s) { return std::count(s.begin(), s.end(), '\n'); };
    const std::string detail = "\"" + std::string(removed) + "\" became \"" + std::string(added) + "\"";

    const std::size_t linesBefore = lineCount(before), linesAfter = lineCount(after);
    FUZZ_CHECK(linesAfter >= linesBefore && linesAfter <= linesBefore + 2, detail);
    if (linesAfter == linesBefore) {
        FUZZ_CHECK(breaks(removed) == 0 && breaks(added) == 0, "more than one line changed: " + detail);
    } else {
        FUZZ_CHECK(removed.empty(), "lines changed as well as added: " + detail);
        FUZZ_CHECK(breaks(added) >= 1 && breaks(added) <= 3, detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    if (size == 0 || newline == std::string_view::npos) return 0;
    const Name& name = kNames[static_cast<unsigned char>(input[0]) % std::size(kNames)];
    std::string_view request = input.substr(1, newline - 1);
    const std::string value(request.substr(0, request.find('\0')));
    const std::string_view file = input.substr(newline + 1);
    fuzz::writeFile(settingsPath(), file);

    // Reads: each buffer size gives the start of what the largest one gives.
    const std::string whole = read(name, kBufferSizes[std::size(kBufferSizes) - 1]);
    for (const unsigned long size : kBufferSizes)
        FUZZ_CHECK(read(name, size) == whole.substr(0, size - 1), "cut read is not a prefix");
    if (whole != kDefault)
        FUZZ_CHECK(file.find(whole) != std::string_view::npos && whole.find('\n') == std::string::npos,
                   "read a value that is not a part of one line of the file: " + whole);

    // A store either is read back as stored, keeping every other line, or
    // leaves the file as it was.
    const bool stored =
        WritePrivateProfileStringA(name.section, name.key, value.c_str(), settingsPath().c_str());
    const std::string after = fuzz::readFile(settingsPath());
    if (!stored) {
        FUZZ_CHECK(after == file, "a refused store changed the file");
        return 0;
    }
    FUZZ_CHECK(read(name, 65536) == value,
               "stored \"" + value + "\" read back as \"" + read(name, 65536) + "\"");
    checkOtherLinesKept(file, after);

    // Storing the same value again changes nothing.
    FUZZ_CHECK(WritePrivateProfileStringA(name.section, name.key, value.c_str(), settingsPath().c_str()),
               "second store refused");
    FUZZ_CHECK(fuzz::readFile(settingsPath()) == after, "second store changed the file");
    return 0;
}
