#include "settings_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/common/file_descriptor.h"

namespace profile {

using common::FileDescriptor;

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += size_t(n);
    }
    return true;
}

// Creates a new, empty file beside path, under a name no one else uses.
std::optional<std::string> createTemporaryBeside(const std::string& path, int& fd) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = path.rfind('/');
    const std::string folderPrefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = path.substr(folderPrefix.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folderPrefix + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                                      std::to_string(counter++);
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return candidate;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

void syncFolder(const std::string& folder) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

LoadedFile loadSettingsFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return {errno == ENOENT || errno == ENOTDIR ? LoadState::Missing : LoadState::Unusable, {}};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > off_t(kMaxSettingsFileSize))
        return {LoadState::Unusable, {}};

    // Read to the cap, not to st_size: the file may grow while we read.
    std::string text;
    char chunk[16384];
    while (text.size() <= kMaxSettingsFileSize) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {LoadState::Unusable, {}};
        if (n == 0) return {LoadState::Loaded, std::move(text)};
        text.append(chunk, size_t(n));
    }
    return {LoadState::Unusable, {}};
}

std::optional<std::string> resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) return current;
        const std::string link = std::filesystem::read_symlink(current, error).string();
        if (error || link.empty()) return std::nullopt;
        current = link.front() == '/' ? link : folderOf(current) + "/" + link;
    }
    return std::nullopt;
}

bool replaceFileAtomically(const std::string& path, const std::string& text) {
    // A file this size could not be read back: every setting in it would be lost.
    if (text.size() > kMaxSettingsFileSize) return false;
    struct stat old {};
    const bool oldExists = ::lstat(path.c_str(), &old) == 0;
    if (oldExists && (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0))
        return false;

    int rawFd = -1;
    const std::optional<std::string> temporary = createTemporaryBeside(path, rawFd);
    if (!temporary) return false;
    FileDescriptor fd(rawFd);

    bool ok = true;
    if (oldExists) {
        // Owner first: a change of owner clears set-id bits that fchmod then restores.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd.get(), old.st_uid, old.st_gid);
        ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
    }
    ok = ok && writeAll(fd.get(), text);
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temporary->c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary->c_str());
        return false;
    }
    syncFolder(folderOf(path));
    return true;
}

namespace {

std::string userConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && home[0] == '/' ? std::string(home) + "/.config" : std::string();
}

// A folder of the installed system: it holds static files only, whoever runs
// the program, and removing the package would leave a file there behind.
bool isInstalledFolder(const std::string& folder) {
    const std::string normal = std::filesystem::path(folder).lexically_normal().string();
    for (const std::string root : {"/usr", "/opt"}) {
        if (normal == root || normal.starts_with(root + "/")) return true;
    }
    return false;
}

bool mayWriteIn(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string userFileFor(const std::string& path) {
    const std::string config = userConfigFolder();
    if (config.empty()) return {};
    const std::string name = path.substr(path.rfind('/') + 1);
    return config + "/" + name.substr(0, name.rfind('.')) + "/" + name;
}

}  // namespace

std::string fileKeptFor(const std::string& path) {
    const std::optional<std::string> target = resolveLinks(path);
    if (isInstalledFolder(folderOf(path)) || (target && isInstalledFolder(folderOf(*target))))
        return userFileFor(path);
    if (!target) return path;
    // A file the user made read-only, or one that is no settings file, stays
    // where it is, and a write to it is refused.
    struct stat info {};
    if (::lstat(target->c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return path;
    if (mayWriteIn(folderOf(*target))) return path;
    const std::string inUserFolder = userFileFor(path);
    return inUserFolder.empty() ? path : inUserFolder;
}

bool makeFolderFor(const std::string& path) {
    const std::string folder = folderOf(path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string step = folder.substr(0, slash);
        if (::mkdir(step.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace profile
