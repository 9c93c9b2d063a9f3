#include "file_uri.h"

#include <sys/stat.h>

#include "platform/common/ascii.h"

namespace desktop {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (common::asciiLower(text[i]) != lowerWord[i]) return false;
    return true;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// One segment between two "/", unescaped; none when it is not a plain name.
std::optional<std::string> segmentFrom(std::string_view written) {
    std::string out;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != '%') {
            out += written[i];
            continue;
        }
        if (i + 2 >= written.size()) return std::nullopt;
        const int high = hexValue(written[i + 1]), low = hexValue(written[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        const char byte = char(high * 16 + low);
        if (byte == '/' || byte == '\0') return std::nullopt;
        out += byte;
        i += 2;
    }
    if (out == "." || out == "..") return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> pathFromFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size() || !equalsIgnoringCase(uri.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    std::string_view rest = uri.substr(kScheme.size());
    if (rest.find_first_of(std::string_view("?#\0", 3)) != std::string_view::npos) return std::nullopt;
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t pathAt = rest.find('/');
        if (pathAt == std::string_view::npos) return std::nullopt;
        const std::string_view host = rest.substr(0, pathAt);
        if (!host.empty() && !equalsIgnoringCase(host, "localhost")) return std::nullopt;
        rest.remove_prefix(pathAt);
    }
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    std::string path;
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the "/"
        const std::size_t end = rest.find('/');
        const auto segment = segmentFrom(rest.substr(0, end));
        if (!segment) return std::nullopt;
        path += '/';
        path += *segment;
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    return path;
}

std::string fileUriFromPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte) || c == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

bool isFolderOrMp3(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return true;
    constexpr std::string_view kSuffix = ".mp3";
    return S_ISREG(info.st_mode) && path.size() > kSuffix.size() &&
           equalsIgnoringCase(std::string_view(path).substr(path.size() - kSuffix.size()), kSuffix);
}

}  // namespace desktop
