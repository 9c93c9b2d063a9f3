// A folder with more MP3 files than a 16-bit count can report.
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <iostream>

#include "platform/controls/FileListBox.h"
#include "tests/support/empty_files.h"

using controls::FileListBox;
using velmyr_test::makeEmptyMp3s;

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
