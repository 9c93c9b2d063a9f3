#include <QCursor>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "window_harness.h"

using namespace velmyr_test;

namespace {

class TitleBar : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(w.show()); }

    // A point of the title label given in twips from its corner, in the
    // window's coordinates as the window stands now.
    QPoint titlePoint(int xTwips, int yTwips) { return w.at(w->Label1, QPoint(xTwips / 15, yTwips / 15)); }

    WindowUnderTest w;
    CommandRecorder commands;
};

}  // namespace

TEST_F(TitleBar, DragMovesTheWindowByThePointersDisplacement) {
    const QPoint start = w->pos();
    const QPoint pressAt = titlePoint(600, 120);
    const QPoint pressGlobal = w->mapToGlobal(pressAt);
    QTest::mousePress(w.handle(), Qt::LeftButton, {}, pressAt);
    // 300 twips right and 150 down on the screen: 20 and 10 pixels.
    const QPoint movedGlobal = pressGlobal + QPoint(20, 10);
    QTest::mouseMove(w.handle(), w->mapFromGlobal(movedGlobal));
    EXPECT_EQ(w->pos(), start + QPoint(20, 10));
    EXPECT_FLOAT_EQ(w->Left(), 10290.0f + 300.0f);
    EXPECT_FLOAT_EQ(w->Top(), 5250.0f + 150.0f);
    EXPECT_EQ(w->Label1->mapFromGlobal(movedGlobal), QPoint(40, 8)) << "600, 120 twips again";

    // Past the label's edge the drag goes on.
    const QPoint farGlobal = movedGlobal + QPoint(-100, 60);
    QTest::mouseMove(w.handle(), w->mapFromGlobal(farGlobal));
    EXPECT_EQ(w->pos(), start + QPoint(-80, 70));
    QTest::mouseRelease(w.handle(), Qt::LeftButton, {}, w->mapFromGlobal(farGlobal));
    EXPECT_TRUE(commands.take().empty());
}

TEST_F(TitleBar, OnlyTheLeftButtonDragsAlsoTogetherWithTheRight) {
    const QPoint start = w->pos();
    QTest::mousePress(w.handle(), Qt::RightButton, {}, titlePoint(600, 120));
    QTest::mouseMove(w.handle(), titlePoint(900, 270));
    EXPECT_EQ(w->pos(), start) << "the right button alone";
    QTest::mouseRelease(w.handle(), Qt::RightButton, {}, titlePoint(900, 270));

    QTest::mouseMove(w.handle(), titlePoint(1200, 120));
    EXPECT_EQ(w->pos(), start) << "no button";

    // The arithmetic itself, with both buttons held: bit 0 is all that counts.
    w->Label1_MouseDown(3, 0, 600, 120);
    w->Label1_MouseMove(3, 0, 900, 270);
    EXPECT_EQ(w->pos(), start + QPoint(20, 10));
    w->Label1_MouseMove(2, 0, 1900, 1270);
    w->Label1_MouseMove(4, 0, 1900, 1270);
    EXPECT_EQ(w->pos(), start + QPoint(20, 10));
}

TEST_F(TitleBar, TheWindowMayBeDraggedOffTheScreen) {
    w->Label1_MouseDown(1, 0, 600, 120);
    w->Label1_MouseMove(1, 0, 600 - 20010, 120 - 9000);
    EXPECT_FLOAT_EQ(w->Left(), 10290.0f - 20010.0f);
    EXPECT_FLOAT_EQ(w->Top(), 5250.0f - 9000.0f);
}

TEST_F(TitleBar, MovingOverTheTitleWithNoButtonChangesNothing) {
    const QString status = w->Label10->text();
    const QPoint start = w->pos();
    w.moveOver(w->Label1, QPoint(60, 5));
    EXPECT_EQ(w->pos(), start);
    EXPECT_EQ(w->Label10->text(), status);
    EXPECT_EQ(w->Label5->ForeColor(), QColor(Qt::white));
}

TEST_F(TitleBar, MinimizeLeavesPlaybackAlone) {
    QTemporaryDir folder;
    QFile::copy(VELMYR_FIXTURES_DIR "/tone440.mp3", folder.path() + "/tone440.mp3");
    w->Dir1->setPath(folder.path());
    w.click(w->Label8);
    ASSERT_EQ(commands.take().size(), 4u);
    w.click(w->Label2);
    EXPECT_TRUE(w->isMinimized());
    EXPECT_EQ(w->WindowState(), 1);
    EXPECT_TRUE(commands.take().empty());
    EXPECT_EQ(w.endCalls, 0);
    w.click(w->Label7);  // stop it again
}
