#include "decoder.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (::stat(path.c_str(), &info) != 0) return OpenResult::NotFound;
    // Opening a FIFO or device node could block the caller indefinitely, so
    // only a regular file is opened, without waiting, and the file actually
    // opened is checked again in case the name changed hands in between.
    if (!S_ISREG(info.st_mode)) return OpenResult::NotDecodable;
    file_ = common::FileDescriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file_.valid()) return OpenResult::NotFound;
    if (::fstat(file_.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(file_.get(), F_SETFL, ::fcntl(file_.get(), F_GETFL) & ~O_NONBLOCK) != 0)
        return OpenResult::NotDecodable;

    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (!handle_) return OpenResult::NotDecodable;
    // What mpg123_open_fixed does, less its mpg123_scan of files without a
    // length header: that reads the whole file on the caller's time, long for
    // a long file. Such files get an estimated length instead.
    // Reading the format reads up to the first frame, so files that are not
    // MP3 fail here rather than at the first read.
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0.0);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_format_none(handle_) != MPG123_OK ||
        mpg123_format2(handle_, 0, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_fd(handle_, file_.get()) != MPG123_OK ||
        mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels != 2 ||
        encoding != MPG123_ENC_SIGNED_16)
        return OpenResult::NotDecodable;
    // One output format for the whole file.
    mpg123_format_none(handle_);
    mpg123_format(handle_, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    rate_ = rate;
    const off_t length = mpg123_length(handle_);
    length_ = length > 0 ? static_cast<std::int64_t>(length) : 0;
    return OpenResult::Ok;
}

std::size_t Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    if (ended_ || !handle_) return 0;
    const std::size_t frameBytes = channels() * sizeof(std::int16_t);
    // A format notice carries no audio; a few in a row at most.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::size_t done = 0;
        const int result =
            mpg123_read(handle_, reinterpret_cast<unsigned char*>(out), maxFrames * frameBytes, &done);
        if (done > 0) {
            // Audio that came with an error is kept; the next read ends the file.
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT) ended_ = true;
            return done / frameBytes;
        }
        if (result != MPG123_NEW_FORMAT) break;
    }
    ended_ = true;
    return 0;
}

std::int64_t Decoder::rewind(std::int64_t frames) {
    if (!handle_ || frames <= 0) return 0;
    const off_t now = mpg123_tell(handle_);
    if (now < 0) return 0;
    const off_t target = now > frames ? now - static_cast<off_t>(frames) : 0;
    const off_t reached = mpg123_seek(handle_, target, SEEK_SET);
    if (reached < 0) return 0;
    ended_ = false;
    return static_cast<std::int64_t>(now - reached);
}

}  // namespace media
