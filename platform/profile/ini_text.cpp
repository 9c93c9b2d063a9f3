#include "ini_text.h"

#include <algorithm>
#include <vector>

#include "platform/common/ascii.h"

namespace profile {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::string_view text;  // without its line end
    std::string_view end;   // "\r\n", "\n", or "" for a last line without one
};

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // the section's or the key's
    std::string_view value;  // entries only
};

// White space that is dropped around names and values: a line's own end, a
// lone carriage return included, but never a line break.
bool isPadding(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isPadding(s.front())) s.remove_prefix(1);
    while (!s.empty() && isPadding(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, common::asciiLower, common::asciiLower);
}

std::string_view withoutBom(std::string_view text) {
    return text.starts_with(kUtf8Bom) ? text.substr(kUtf8Bom.size()) : text;
}

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t newline = text.find('\n', pos);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(pos), {}});
            break;
        }
        const bool crlf = newline > pos && text[newline - 1] == '\r';
        const size_t textEnd = crlf ? newline - 1 : newline;
        lines.push_back({text.substr(pos, textEnd - pos), text.substr(textEnd, newline + 1 - textEnd)});
        pos = newline + 1;
    }
    return lines;
}

ParsedLine parseLine(std::string_view raw) {
    // A NUL byte means binary garbage: such a line is kept but never matched.
    if (raw.find('\0') != std::string_view::npos) return {};
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') return {};
    if (line.front() == '[') {
        const size_t close = line.find(']');
        if (close == std::string_view::npos) return {};
        return {LineKind::Section, trim(line.substr(1, close - 1)), {}};
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    const std::string_view key = trim(line.substr(0, equals));
    if (key.empty()) return {};
    std::string_view value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return {LineKind::Entry, key, value};
}

// Quotes a value whose outer blanks or outer quotes would otherwise be lost on reading.
std::string encodeValue(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (isPadding(value.front()) || isPadding(value.back()) ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    return needsQuotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

struct KeyPosition {
    std::optional<size_t> keyLine;            // the line findValue reads
    std::optional<size_t> lastLineOfSection;  // last header or entry of the first matching section
};

KeyPosition locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    KeyPosition found;
    bool inMatchingSection = false;
    bool inFirstMatchingSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLine(lines[i].text);
        if (parsed.kind == LineKind::Section) {
            inMatchingSection = sameName(parsed.name, section);
            inFirstMatchingSection = inMatchingSection && !found.lastLineOfSection;
            if (inFirstMatchingSection) found.lastLineOfSection = i;
        } else if (parsed.kind == LineKind::Entry && inMatchingSection) {
            if (sameName(parsed.name, key)) {
                found.keyLine = i;
                return found;
            }
            if (inFirstMatchingSection) found.lastLineOfSection = i;
        }
    }
    return found;
}

}  // namespace

std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key) {
    const std::vector<Line> lines = splitLines(withoutBom(text));
    const KeyPosition position = locate(lines, section, key);
    if (!position.keyLine) return std::nullopt;
    return std::string(parseLine(lines[*position.keyLine].text).value);
}

bool isStorable(std::string_view section, std::string_view key, std::string_view value) {
    const auto hasLineBreak = [](std::string_view s) {
        return s.find_first_of("\r\n") != std::string_view::npos;
    };
    const auto isCleanName = [&](std::string_view s) {
        return !s.empty() && trim(s) == s && !hasLineBreak(s);
    };
    return isCleanName(section) && section.find(']') == std::string_view::npos && isCleanName(key) &&
           key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#' && !hasLineBreak(value);
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    const std::string_view body = withoutBom(text);
    const std::string_view bom = text.substr(0, text.size() - body.size());
    std::vector<Line> lines = splitLines(body);

    const auto firstEnded = std::ranges::find_if(lines, [](const Line& line) { return !line.end.empty(); });
    const std::string_view lineEnd = firstEnded == lines.end() ? "\n" : firstEnded->end;

    const KeyPosition position = locate(lines, section, key);
    std::string replacement;  // must outlive the Line views that point into it
    std::string addedLines;
    std::optional<size_t> insertAfter;
    if (position.keyLine) {
        const std::string_view storedKey = parseLine(lines[*position.keyLine].text).name;
        replacement = std::string(storedKey) + "=" + encodeValue(value);
        lines[*position.keyLine].text = replacement;
    } else {
        addedLines = std::string(key) + "=" + encodeValue(value) + std::string(lineEnd);
        insertAfter = position.lastLineOfSection;
        if (!insertAfter) addedLines = "[" + std::string(section) + "]" + std::string(lineEnd) + addedLines;
        if (!insertAfter && !lines.empty()) insertAfter = lines.size() - 1;
        if (insertAfter && lines[*insertAfter].end.empty()) lines[*insertAfter].end = lineEnd;
    }

    std::string result(bom);
    result.reserve(text.size() + addedLines.size() + replacement.size());
    if (!insertAfter) result += addedLines;
    for (size_t i = 0; i < lines.size(); ++i) {
        result += lines[i].text;
        result += lines[i].end;
        if (insertAfter == i) result += addedLines;
    }
    return result;
}

}  // namespace profile
