#include "decoder.h"

#include <mpg123.h>
#include <sys/stat.h>

namespace media {

Decoder::Decoder() = default;

Decoder::~Decoder() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

Decoder::OpenResult Decoder::open(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return OpenResult::NotFound;
    // Opening a FIFO or device node would block the caller indefinitely.
    if (!S_ISREG(info.st_mode))
        return OpenResult::NotDecodable;

    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (!handle_)
        return OpenResult::NotDecodable;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // open_fixed reads up to the first frame, so files that are not MP3 fail
    // here rather than at the first read.
    if (mpg123_open_fixed(handle_, path.c_str(), MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
        MPG123_OK)
        return OpenResult::NotDecodable;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return OpenResult::NotDecodable;
    rate_ = rate;
    const off_t length = mpg123_length(handle_);
    length_ = length > 0 ? static_cast<std::int64_t>(length) : 0;
    return OpenResult::Ok;
}

std::size_t Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    if (ended_ || !handle_)
        return 0;
    const std::size_t frameBytes = channels() * sizeof(std::int16_t);
    // A format notice carries no audio; a few in a row at most.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::size_t done = 0;
        const int result =
            mpg123_read(handle_, reinterpret_cast<unsigned char*>(out), maxFrames * frameBytes, &done);
        if (done > 0) {
            // Audio that came with an error is kept; the next read ends the file.
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
                ended_ = true;
            return done / frameBytes;
        }
        if (result != MPG123_NEW_FORMAT)
            break;
    }
    ended_ = true;
    return 0;
}

std::int64_t Decoder::rewind(std::int64_t frames) {
    if (!handle_ || frames <= 0)
        return 0;
    const off_t now = mpg123_tell(handle_);
    if (now < 0)
        return 0;
    const off_t target = now > frames ? now - static_cast<off_t>(frames) : 0;
    const off_t reached = mpg123_seek(handle_, target, SEEK_SET);
    if (reached < 0)
        return 0;
    ended_ = false;
    return static_cast<std::int64_t>(now - reached);
}

}  // namespace media
