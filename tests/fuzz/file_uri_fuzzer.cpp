// Any bytes as a URI handed to OpenUri, read into a local path. Besides never
// crashing, a path that comes out is exactly the one the URI names: absolute,
// without NUL or a "." or ".." segment, with as many "/" as the URI's path
// (an escape never adds a folder), and the same again when written back as a
// URI and read once more.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/desktop/file_uri.h"

namespace {

std::size_t slashes(std::string_view text) { return std::size_t(std::count(text.begin(), text.end(), '/')); }

bool hasDotSegment(std::string_view path) {
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "." || segment == "..") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view uri(reinterpret_cast<const char*>(data), size);
    const auto path = desktop::pathFromFileUri(uri);
    if (!path) return 0;
    const std::string detail = std::string(uri) + " -> " + *path;
    FUZZ_CHECK(!path->empty() && path->front() == '/', detail);
    FUZZ_CHECK(path->find('\0') == std::string::npos, detail);
    FUZZ_CHECK(!hasDotSegment(*path), detail);
    const std::size_t authority = uri.substr(5, 2) == "//" ? 2 : 0;  // after "file:"
    FUZZ_CHECK(slashes(*path) == slashes(uri) - authority, detail);
    const std::string again = desktop::fileUriFromPath(*path);
    FUZZ_CHECK(desktop::pathFromFileUri(again) == path, detail + " -> " + again);
    return 0;
}
