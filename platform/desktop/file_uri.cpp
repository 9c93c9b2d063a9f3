#include "file_uri.h"

#include <QByteArray>
#include <QByteArrayList>
#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace desktop {

namespace {

bool sameIgnoringCase(QByteArrayView text, QByteArrayView asciiWord) {
    return text.compare(asciiWord, Qt::CaseInsensitive) == 0;
}

bool escapesAreWhole(QByteArrayView written) {
    const auto isHex = [](char c) { return QByteArrayView("0123456789abcdefABCDEF").contains(c); };
    for (qsizetype at = written.indexOf('%'); at >= 0; at = written.indexOf('%', at + 1))
        if (at + 2 >= written.size() || !isHex(written[at + 1]) || !isHex(written[at + 2])) return false;
    return true;
}

}  // namespace

std::optional<std::string> pathFromFileUri(std::string_view uri) {
    QByteArrayView rest(uri.data(), qsizetype(uri.size()));
    if (!sameIgnoringCase(rest.first(std::min<qsizetype>(5, rest.size())), "file:")) return std::nullopt;
    rest = rest.sliced(5);
    if (rest.contains('?') || rest.contains('#') || rest.contains('\0')) return std::nullopt;
    if (rest.startsWith("//")) {
        const qsizetype pathAt = rest.indexOf('/', 2);
        if (pathAt < 0) return std::nullopt;
        const QByteArrayView host = rest.sliced(2, pathAt - 2);
        if (!host.isEmpty() && !sameIgnoringCase(host, "localhost")) return std::nullopt;
        rest = rest.sliced(pathAt);
    }
    if (!rest.startsWith('/') || !escapesAreWhole(rest)) return std::nullopt;
    // Each segment is unescaped on its own, so that an escape never adds or
    // leaves a folder; empty segments ("//", a "/" at the end) name nothing.
    std::string path;
    for (const QByteArray& written : rest.toByteArray().split('/')) {
        if (written.isEmpty()) continue;
        const QByteArray name = QByteArray::fromPercentEncoding(written);
        if (name.contains('/') || name.contains('\0') || name == "." || name == "..") return std::nullopt;
        path += '/' + name.toStdString();
    }
    return path.empty() ? "/" : path;
}

std::string fileUriFromPath(std::string_view path) {
    return "file://" + QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/").toStdString();
}

std::string normalPath(std::string_view path) {
    std::filesystem::path full(path);
    if (full.is_relative()) {
        std::error_code error;
        const std::filesystem::path current = std::filesystem::current_path(error);
        if (error) return std::string(path);
        full = current / full;
    }
    // Lexical normalisation keeps the "/" at the end of a folder, and a root
    // written as several.
    std::string normal = full.lexically_normal().string();
    normal.erase(std::max<size_t>(normal.find_last_not_of('/') + 1, 1));
    return normal;
}

bool isFolderOrMp3(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) return true;
    const QByteArrayView name(path.data(), qsizetype(path.size()));
    return S_ISREG(info.st_mode) && name.size() > 4 && sameIgnoringCase(name.last(4), ".mp3");
}

}  // namespace desktop
