#include "command.h"

#include <algorithm>
#include <vector>

#include "platform/common/ascii.h"

namespace media {

namespace {

// What stands between the words of a command.
bool isSeparator(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), common::asciiLower);
    return out;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !isSeparator(text[i])) ++i;
        if (i > start) out.push_back(lower(text.substr(start, i - start)));
    }
    return out;
}

Command failure(MCIERROR error) {
    Command c;
    c.error = error;
    return c;
}

// "all" names every device; no single device may take it.
bool isDeviceAlias(const std::string& word) { return word != "all"; }

Command parseOpen(std::string_view text) {
    constexpr std::string_view kOpen = "open ";
    constexpr std::string_view kType = " type ";
    const std::string folded = lower(text);
    const std::size_t typeAt = folded.rfind(kType);
    if (typeAt == std::string::npos || typeAt < kOpen.size()) return failure(MCIERR_MISSING_PARAMETER);
    Command c;
    c.verb = Verb::Open;
    c.element = std::string(text.substr(kOpen.size(), typeAt - kOpen.size()));
    if (c.element.empty()) return failure(MCIERR_MISSING_PARAMETER);
    const auto rest = words(std::string_view(text).substr(typeAt + kType.size()));
    if (rest.size() != 3 || rest[1] != "alias")
        return failure(rest.size() < 3 ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD);
    if (rest[0] != "mpegvideo") return failure(MCIERR_INVALID_DEVICE_NAME);
    if (!isDeviceAlias(rest[2])) return failure(MCIERR_DUPLICATE_ALIAS);
    c.alias = rest[2];
    return c;
}

}  // namespace

Command parseCommand(std::string_view text) {
    const auto w = words(text);
    if (w.empty()) return failure(MCIERR_UNRECOGNIZED_COMMAND);
    const std::string& verb = w[0];

    if (verb == "open") {
        // The element keeps its own blanks, so the text is read as typed.
        std::size_t start = 0;
        while (start < text.size() && isSeparator(text[start])) ++start;
        return parseOpen(text.substr(start));
    }

    struct Simple {
        const char* word;
        Verb verb;
    };
    static constexpr Simple kSimple[] = {{"play", Verb::Play},
                                         {"pause", Verb::Pause},
                                         {"resume", Verb::Resume},
                                         {"stop", Verb::Stop},
                                         {"close", Verb::Close}};
    for (const auto& s : kSimple) {
        if (verb != s.word) continue;
        if (w.size() < 2) return failure(MCIERR_MISSING_PARAMETER);
        if (w.size() > 2) return failure(MCIERR_UNRECOGNIZED_KEYWORD);
        Command c;
        if (s.verb == Verb::Close && w[1] == "all") {
            c.verb = Verb::CloseAll;
            return c;
        }
        if (!isDeviceAlias(w[1])) return failure(MCIERR_INVALID_DEVICE_NAME);
        c.verb = s.verb;
        c.alias = w[1];
        return c;
    }

    if (verb == "set") {
        if (w.size() < 5) return failure(MCIERR_MISSING_PARAMETER);
        if (w.size() > 5 || w[2] != "audio" || w[3] != "all" || (w[4] != "on" && w[4] != "off"))
            return failure(MCIERR_UNRECOGNIZED_KEYWORD);
        if (!isDeviceAlias(w[1])) return failure(MCIERR_INVALID_DEVICE_NAME);
        Command c;
        c.verb = Verb::SetAudio;
        c.alias = w[1];
        c.audioOn = w[4] == "on";
        return c;
    }

    if (verb == "status") {
        if (w.size() < 3) return failure(MCIERR_MISSING_PARAMETER);
        if (w.size() > 3) return failure(MCIERR_UNRECOGNIZED_KEYWORD);
        if (!isDeviceAlias(w[1])) return failure(MCIERR_INVALID_DEVICE_NAME);
        Command c;
        c.verb = Verb::Status;
        c.alias = w[1];
        if (w[2] == "mode")
            c.item = StatusItem::Mode;
        else if (w[2] == "position")
            c.item = StatusItem::Position;
        else if (w[2] == "length")
            c.item = StatusItem::Length;
        else
            return failure(MCIERR_UNRECOGNIZED_KEYWORD);
        return c;
    }

    if (verb == "info") {
        if (w.size() < 3) return failure(MCIERR_MISSING_PARAMETER);
        if (w.size() > 3 || w[2] != "file") return failure(MCIERR_UNRECOGNIZED_KEYWORD);
        if (!isDeviceAlias(w[1])) return failure(MCIERR_INVALID_DEVICE_NAME);
        Command c;
        c.verb = Verb::InfoFile;
        c.alias = w[1];
        return c;
    }

    return failure(MCIERR_UNRECOGNIZED_COMMAND);
}

}  // namespace media
