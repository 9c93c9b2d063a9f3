#include "shortpath.h"

#include <cstring>

#include "file_lookup.h"

unsigned long GetShortPathNameA(const char* longPath, char* shortPath, unsigned long bufferLength) {
    if (shortPath && bufferLength > 0) shortPath[0] = '\0';
    if (!longPath || !shortPath || bufferLength == 0) return 0;
    const std::string given(longPath);
    const auto found = media::findFile(given);
    if (!found) return 0;
    std::string form = media::isShortName(given) ? given : *found;
    if (form.size() >= bufferLength) form = media::shortNameFor(*found);
    if (form.size() >= bufferLength) return 0;  // a cut name could name another file
    std::memcpy(shortPath, form.c_str(), form.size() + 1);
    return static_cast<unsigned long>(form.size());
}
