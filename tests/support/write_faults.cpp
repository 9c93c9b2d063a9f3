#include "write_faults.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <mutex>
#include <string>

namespace velmyr_test {

namespace {
constexpr int kNone = -1;
std::atomic<int> failing{kNone};

bool fails(WriteStep step) { return failing == static_cast<int>(step); }

std::mutex deniedLock;
std::optional<std::string> denied;

bool writeAccessDenied(const char* path) {
    const std::lock_guard guard(deniedLock);
    return denied && path && *denied == path;
}
}  // namespace

void failWriteStep(std::optional<WriteStep> step) { failing = step ? static_cast<int>(*step) : kNone; }

void denyWriteAccessTo(std::optional<std::string> folder) {
    const std::lock_guard guard(deniedLock);
    denied = std::move(folder);
}

}  // namespace velmyr_test

using velmyr_test::WriteStep;

extern "C" {

int __real_open(const char* path, int flags, ...);
ssize_t __real_write(int fd, const void* data, size_t size);
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);
int __real_faccessat(int dirFd, const char* path, int mode, int flags);

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if ((flags & O_CREAT) && (flags & O_EXCL) && velmyr_test::fails(WriteStep::CreateTemporary)) {
        errno = EACCES;
        return -1;
    }
    return __real_open(path, flags, mode);
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    if (velmyr_test::fails(WriteStep::WriteContents)) {
        errno = EIO;
        return -1;
    }
    return __real_write(fd, data, size);
}

int __wrap_fsync(int fd) {
    if (velmyr_test::fails(WriteStep::Flush)) {
        errno = EIO;
        return -1;
    }
    return __real_fsync(fd);
}

int __wrap_rename(const char* from, const char* to) {
    if (velmyr_test::fails(WriteStep::Replace)) {
        errno = EACCES;
        return -1;
    }
    return __real_rename(from, to);
}

int __wrap_faccessat(int dirFd, const char* path, int mode, int flags) {
    if ((mode & W_OK) && velmyr_test::writeAccessDenied(path)) {
        errno = EACCES;
        return -1;
    }
    return __real_faccessat(dirFd, path, mode, flags);
}

}  // extern "C"
