// The window over a folder of 40000 MP3 files, more than its 16-bit list
// count and index can hold.
#include <gtest/gtest.h>

#include "tests/support/empty_files.h"
#include "window_harness.h"

using namespace velmyr_test;

namespace {

std::vector<std::string> playCommandsFor(const QString& path) { return playCommands(path.toStdString()); }

}  // namespace

TEST(LargeFolder, CountIndexAndStepsStayWithinSixteenBits) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    if (const std::string why = makeEmptyMp3s(folder.path(), 40000); !why.empty())
        GTEST_SKIP() << "the temporary folder cannot hold 40000 files: " << why;
    WindowUnderTest w;
    CommandRecorder commands;
    w->Dir1->setPath(folder.path());
    ASSERT_TRUE(w.show());
    auto* list = w->File1;
    ASSERT_EQ(list->ListCount(), 32767);

    w.moveTo(QPoint(205, 100));
    EXPECT_EQ(w->Label10->text(), "(32767) MP3 files in this directory");
    w.moveOver(list->viewport());
    EXPECT_EQ(w->Label10->text(), "(32767) mp3's in this dir");

    // To the last entry as the user would: scroll there, click the one before.
    list->scrollToBottom();
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.fileRow(32765));
    ASSERT_EQ(list->ListIndex(), 32765);
    commands.take();
    w.click(w->Label8);
    EXPECT_EQ(list->ListIndex(), 32766);
    EXPECT_EQ(commands.take(), playCommandsFor(folder.path() + "/32766.mp3"));
    w.click(w->Label8);
    EXPECT_EQ(list->ListIndex(), 32766) << "the last entry: no step, no wrap";
    EXPECT_TRUE(commands.take().empty());
    w.click(w->Label9);
    EXPECT_EQ(list->ListIndex(), 32765);
    EXPECT_EQ(commands.take(), playCommandsFor(folder.path() + "/32765.mp3"));

    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(32766));
    EXPECT_EQ(commands.take(), playCommandsFor(folder.path() + "/32766.mp3"))
        << "the short form of the \\-joined path";

    list->setListIndex(-1);
    w.click(w->Label8);
    EXPECT_EQ(list->ListIndex(), 0);
    w.click(w->Label9);
    EXPECT_EQ(list->ListIndex(), 0);
}
