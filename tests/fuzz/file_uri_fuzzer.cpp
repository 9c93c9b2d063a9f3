// Any bytes as a URI handed to OpenUri, read into a local path. Besides never
// crashing, a path that comes out is exactly the one the URI names, and
// normal: absolute, without NUL, without an empty, "." or ".." segment, with
// as many segments as the URI's path has names (an escape never adds a
// folder), and the same again when written back as a URI and read once more.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/desktop/file_uri.h"

namespace {

// The segments between the "/" of a path.
std::vector<std::string_view> segments(std::string_view path) {
    std::vector<std::string_view> all;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        all.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return all;
}

std::size_t countNames(const std::vector<std::string_view>& segments) {
    return std::size_t(std::count_if(segments.begin(), segments.end(), [](auto s) { return !s.empty(); }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view uri(reinterpret_cast<const char*>(data), size);
    const auto path = desktop::pathFromFileUri(uri);
    if (!path) return 0;
    const std::string detail = std::string(uri) + " -> " + *path;
    FUZZ_CHECK(!path->empty() && path->front() == '/', detail);
    FUZZ_CHECK(path->find('\0') == std::string::npos, detail);
    const std::vector<std::string_view> inPath = segments(std::string_view(*path).substr(1));
    if (*path != "/")
        for (const std::string_view segment : inPath)
            FUZZ_CHECK(!segment.empty() && segment != "." && segment != "..", detail);
    std::string_view uriPath = uri.substr(5);  // after "file:"
    if (uriPath.starts_with("//")) uriPath.remove_prefix(uriPath.find('/', 2));
    FUZZ_CHECK(countNames(inPath) == countNames(segments(uriPath)), detail);
    const std::string again = desktop::fileUriFromPath(*path);
    FUZZ_CHECK(desktop::pathFromFileUri(again) == path, detail + " -> " + again);
    return 0;
}
