// A folder with more MP3 files than a 16-bit count can report.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <unistd.h>

#include "platform/controls/FileListBox.h"

using controls::FileListBox;

namespace {

// Empty files "00000.mp3", "00001.mp3", ...; an empty message when made, else
// why not (a temporary folder that cannot hold them).
std::string makeEmptyMp3s(const QString& folder, int count) {
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

}  // namespace

TEST(FileListBoxLargeFolder, KeepsTheFirst32767NamesInOrderOfAFolderOf40000) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (const std::string why = makeEmptyMp3s(dir.path(), 40000); !why.empty())
        GTEST_SKIP() << "the temporary folder cannot hold 40000 files: " << why;

    FileListBox list;
    const auto started = std::chrono::steady_clock::now();
    list.setPath(dir.path());
    std::cout << "listing 40000 files took "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() << " s"
              << std::endl;

    EXPECT_EQ(list.ListCount(), FileListBox::MaxEntries);
    EXPECT_EQ(list.model()->rowCount(), FileListBox::MaxEntries) << "no entry the count cannot reach";
    // Cut after sorting: the same names whatever order the folder is read in.
    list.setListIndex(32766);
    EXPECT_EQ(list.ListIndex(), 32766);
    EXPECT_EQ(list.FileName(), "32766.mp3");
    list.setListIndex(0);
    EXPECT_EQ(list.FileName(), "00000.mp3");
    list.setListIndex(short(-32768));  // what a count of 32768 would have wrapped to
    EXPECT_EQ(list.ListIndex(), -1);
}
