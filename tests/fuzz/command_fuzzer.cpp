// Any bytes as media command texts, against a small table of open devices.
//
// Input: the first byte picks the reply buffer handed to the entry point and
// whether files are opened by their short names, as the player does; the rest
// is split at '\n' into at most kMaxCommands command texts, sent in
// order. Each text is also given whole (NULs included) to the parser.
// After every input the table is put back as it was: what the input opened is
// closed, and a base device the input touched is closed and opened anew, so
// every input starts from the same state and the table never grows.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "platform/media/output/audio_sink.h"
#include "tests/support/sink_support.h"
#include "platform/media/command.h"
#include "platform/media/file_lookup.h"
#include "platform/media/mci.h"
#include "platform/media/media_layer.h"
#include "platform/media/test_hooks.h"
#include "platform/media/shortpath.h"

namespace {

constexpr std::size_t kMaxCommands = 16;

struct BaseDevice {
    const char* alias;
    const char* file;  // in the scratch folder
};
// The last one sits in a subfolder, so "sub\d.mp3" names it too.
constexpr BaseDevice kBase[] = {{"b1", "a.mp3"}, {"b2", "b c.mp3"}, {"lirovan", "sub/d.mp3"}};

// Takes every sample at once and keeps none: the table lives for the whole
// run, so an output that kept what it heard would grow without end.
class DiscardSink final : public velmyr_test::NullSink {
public:
    bool open(long rate, int channels, media::PlaybackThread&) override { return rate > 0 && channels > 0; }
};

MCIERROR send(const std::string& text) { return mciSendStringA(text.c_str(), nullptr, 0, nullptr); }

std::string statusMode(const std::string& alias) {
    char reply[32] = {};
    if (mciSendStringA(("status " + alias + " mode").c_str(), reply, sizeof reply, nullptr) != MCIERR_NONE)
        return "error";
    return reply;
}

bool isBase(const std::string& alias) {
    return std::any_of(std::begin(kBase), std::end(kBase),
                       [&](const BaseDevice& b) { return alias == b.alias; });
}

void openBase(const BaseDevice& base) {
    const MCIERROR error = send(std::string("open ") + base.file + " type mpegvideo alias " + base.alias);
    FUZZ_CHECK(error == MCIERR_NONE, base.alias);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool isKnownError(MCIERROR e) {
    switch (e) {
    case MCIERR_UNRECOGNIZED_KEYWORD:
    case MCIERR_INVALID_DEVICE_NAME:
    case MCIERR_UNRECOGNIZED_COMMAND:
    case MCIERR_FILE_NOT_FOUND:
    case MCIERR_CANNOT_LOAD_DRIVER:
    case MCIERR_DUPLICATE_ALIAS:
    case MCIERR_MISSING_PARAMETER:
    case MCIERR_PARAM_OVERFLOW:
    case MCIERR_INVALID_FILE: return true;
    default: return false;
    }
}

bool hasVerbAlias(media::Verb verb) { return verb != media::Verb::CloseAll; }

// What every parse must give, whatever the bytes.
void checkParsed(std::string_view text, const media::Command& c) {
    const std::string shown(text);
    if (c.error != MCIERR_NONE) {
        FUZZ_CHECK(isKnownError(c.error), shown);
        return;
    }
    if (hasVerbAlias(c.verb)) {
        FUZZ_CHECK(!c.alias.empty(), shown);
        FUZZ_CHECK(c.alias != "all", shown);
        FUZZ_CHECK(c.alias.find_first_of(" \t") == std::string::npos, shown);
        FUZZ_CHECK(
            std::none_of(c.alias.begin(), c.alias.end(), [](char ch) { return ch >= 'A' && ch <= 'Z'; }),
            shown);
        FUZZ_CHECK(text.find(c.alias) != std::string_view::npos ||
                       upper(text).find(upper(c.alias)) != std::string::npos,
                   shown);
    }
    if (c.verb == media::Verb::Open) {
        FUZZ_CHECK(!c.element.empty(), shown);
        FUZZ_CHECK(text.find(c.element) != std::string_view::npos, shown);
    }

    // Keywords and aliases are not case-sensitive; the file name keeps its case.
    const media::Command shouted = media::parseCommand(upper(text));
    FUZZ_CHECK(shouted.error == MCIERR_NONE && shouted.verb == c.verb && shouted.alias == c.alias &&
                   shouted.element == upper(c.element) && shouted.audioOn == c.audioOn &&
                   shouted.item == c.item,
               shown);
}

// Where an open command's file lies, when it is in the scratch folder.
std::string realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    const std::string resolved(real);
    ::free(real);
    return resolved;
}

bool opensInsideScratch(const std::string& element) {
    const auto found = media::findFile(element);
    if (!found) return true;  // fails at once with "file not found"
    return realPath(*found).rfind(fuzz::scratchFolder() + "/", 0) == 0;
}

// The open command the player sends: the file's short name in place of the
// name given. The buffer is small, so longer names get a made-up short name,
// which must lead back to the same file.
std::string withShortName(const std::string& text, const media::Command& open) {
    char shortName[12];
    const unsigned long length = GetShortPathNameA(open.element.c_str(), shortName, sizeof shortName);
    const auto found = media::findFile(open.element);
    if (!found) {
        FUZZ_CHECK(length == 0, "short name for a missing file: " + open.element);
        return text;
    }
    FUZZ_CHECK(length > 0 && length < sizeof shortName && std::strlen(shortName) == length,
               "no short name for " + open.element);
    const auto back = media::findFile(shortName);
    FUZZ_CHECK(back && realPath(*back) == realPath(*found), open.element + " -> " + std::string(shortName));
    return "open " + std::string(shortName) + " type mpegvideo alias " + open.alias;
}

struct ReplyBuffer {
    bool present = true;
    unsigned length = 0;
    bool shortNames = false;
};

ReplyBuffer replyBufferFor(std::uint8_t selector) {
    static constexpr unsigned kLengths[] = {0, 1, 2, 7, 8, 16, 128, 4096};
    ReplyBuffer r;
    r.present = (selector & 0x80) == 0;
    r.shortNames = (selector & 0x40) != 0;
    r.length = kLengths[selector & 7];
    return r;
}

bool allDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

struct InputEffects {
    std::set<std::string> opened;   // aliases this input opened
    std::set<std::string> touched;  // base aliases it changed or closed
    bool closedAll = false;
};

void runCommand(std::string_view bytes, const ReplyBuffer& replyShape, InputEffects& effects) {
    checkParsed(bytes, media::parseCommand(bytes));

    // The entry point takes a C string: it ends at the first NUL.
    std::string text(bytes.substr(0, bytes.find('\0')));
    const media::Command c = media::parseCommand(text);
    if (c.error == MCIERR_NONE && c.verb == media::Verb::Open) {
        if (!opensInsideScratch(c.element))
            return;  // not a file of ours: no reason to decode the machine's files
        if (replyShape.shortNames) text = withShortName(text, c);
    }

    constexpr unsigned kGuard = 16;
    std::vector<char> buffer(replyShape.length + kGuard, '\x5a');
    char* reply = replyShape.present ? buffer.data() : nullptr;
    const MCIERROR error = mciSendStringA(text.c_str(), reply, replyShape.length, nullptr);

    if (c.error != MCIERR_NONE) FUZZ_CHECK(error == c.error, text);
    FUZZ_CHECK(error == MCIERR_NONE || isKnownError(error), text);
    FUZZ_CHECK(
        std::all_of(buffer.begin() + replyShape.length, buffer.end(), [](char b) { return b == '\x5a'; }),
        "reply written past its buffer: " + text);
    if (reply && replyShape.length > 0) {
        FUZZ_CHECK(std::memchr(reply, '\0', replyShape.length) != nullptr, text);
        const bool answers = c.verb == media::Verb::Status || c.verb == media::Verb::InfoFile;
        if (c.error == MCIERR_NONE && !answers)
            FUZZ_CHECK(reply[0] == '\0', "reply to a command without one: " + text);
    }
    if (error == MCIERR_NONE && reply && replyShape.length >= 16 && c.verb == media::Verb::Status) {
        const std::string answer(reply);
        if (c.item == media::StatusItem::Mode)
            FUZZ_CHECK(
                answer == "not ready" || answer == "stopped" || answer == "playing" || answer == "paused",
                text + " -> " + answer);
        else
            FUZZ_CHECK(allDigits(reply), text + " -> " + answer);
    }
    // Only files inside the scratch folder are ever opened, and the file named is one of them.
    if (error == MCIERR_NONE && reply && c.verb == media::Verb::InfoFile)
        FUZZ_CHECK(realPath(reply).rfind(fuzz::scratchFolder() + "/", 0) == 0, text + " -> " + reply);

    if (error != MCIERR_NONE || c.error != MCIERR_NONE) return;
    switch (c.verb) {
    case media::Verb::Open:
        effects.opened.insert(c.alias);
        if (isBase(c.alias)) effects.touched.insert(c.alias);
        break;
    case media::Verb::CloseAll:
        effects.closedAll = true;
        effects.opened.clear();
        break;
    case media::Verb::Status:
    case media::Verb::InfoFile: break;
    default:
        if (c.verb == media::Verb::Close) effects.opened.erase(c.alias);
        if (isBase(c.alias)) effects.touched.insert(c.alias);
        break;
    }
}

void restoreTable(const InputEffects& effects) {
    for (const auto& alias : effects.opened)
        if (!isBase(alias)) FUZZ_CHECK(send("close " + alias) == MCIERR_NONE, alias);
    for (const auto& base : kBase) {
        if (effects.closedAll || effects.touched.count(base.alias)) {
            send(std::string("close ") + base.alias);
            openBase(base);
        }
    }
    for (const auto& alias : effects.opened)
        if (!isBase(alias)) FUZZ_CHECK(statusMode(alias) == "error", "still open after the input: " + alias);
    for (const auto& base : kBase) FUZZ_CHECK(statusMode(base.alias) == "stopped", base.alias);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string& folder = fuzz::scratchFolder();
    std::filesystem::create_directories(folder + "/sub");
    // A few frames of each tone: a played base device ends quickly.
    fuzz::writeFile(folder + "/a.mp3", fuzz::fixtureHead("tone440.mp3", 4000));
    fuzz::writeFile(folder + "/b c.mp3", fuzz::fixtureHead("tone660.mp3", 4000));
    fuzz::writeFile(folder + "/sub/d.mp3", fuzz::fixtureHead("tone880.mp3", 4000));
    fuzz::writeFile(folder + "/empty.mp3", "");
    fuzz::writeFile(folder + "/junk.mp3", std::string(3000, '\x42'));
    // Relative names in the inputs resolve in the scratch folder.
    FUZZ_CHECK(::chdir(folder.c_str()) == 0, folder);

    media::setSinkFactory([] { return std::make_unique<DiscardSink>(); });
    for (const auto& base : kBase) openBase(base);
    // Playback threads still running at exit would hide real leaks.
    std::atexit([] { media::shutdown(std::chrono::seconds(10)); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const ReplyBuffer replyShape = replyBufferFor(data[0]);
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);

    InputEffects effects;
    for (std::size_t n = 0; n < kMaxCommands; ++n) {
        const std::size_t end = rest.find('\n');
        runCommand(rest.substr(0, end), replyShape, effects);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    restoreTable(effects);
    return 0;
}
