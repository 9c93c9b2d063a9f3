// Folders of many files, made quickly for tests of large listings.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace velmyr_test {

// Empty files "00000.mp3", "00001.mp3", ...; an empty message when made, else
// why not (a temporary folder that cannot hold them).
inline std::string makeEmptyMp3s(const QString& folder, int count) {
    const QByteArray base = QFile::encodeName(folder);
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/%05d.mp3", i);
        const int fd = ::open((base + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return "file " + std::to_string(i) + ": " + std::strerror(errno);
        ::close(fd);
    }
    return {};
}

}  // namespace velmyr_test
