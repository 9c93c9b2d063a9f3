// The folder the window shows goes away under it: renamed, its parent
// deleted, deleted while one of its files plays, replaced by a file of the
// same name. Every event that reads the lists must still be answered, and a
// later change to a good folder must list and play it.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "output_watch.h"
#include "window_harness.h"

using namespace velmyr_test;
using namespace std::chrono_literals;

namespace {

class FolderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        makeEntries(root.path(), {"outer/", "outer/music/", "outer/music/sub/", "good/"});
        music = root.path() + "/outer/music";
        const QString fixtures = QStringLiteral(VELMYR_FIXTURES_DIR);
        ASSERT_TRUE(QFile::copy(fixtures + "/tone440.mp3", music + "/a.mp3"));
        ASSERT_TRUE(QFile::copy(fixtures + "/tone660.mp3", music + "/b.mp3"));
        ASSERT_TRUE(QFile::copy(fixtures + "/tone880.mp3", music + "/c.mp3"));
        ASSERT_TRUE(QFile::copy(fixtures + "/tone660.mp3", root.path() + "/good/x.mp3"));
        w->Dir1->setPath(music);
        ASSERT_TRUE(w.show());
        ASSERT_EQ(w->File1->ListCount(), 3);
    }

    QPoint folderEntry(const QString& name) {
        auto* dirs = w->Dir1;
        for (int row = 0; row < dirs->count(); ++row) {
            if (dirs->item(row)->text() != name) continue;
            dirs->scrollToItem(dirs->item(row));
            return dirs->viewport()->mapTo(w.window.get(), dirs->visualItemRect(dirs->item(row)).center());
        }
        ADD_FAILURE() << "no entry " << name.toStdString() << " in the folder list";
        return {};
    }

    void expectStatusLine() {
        static const QRegularExpression wellFormed(
            QStringLiteral("^\\(\\d+\\) (MP3 files in this directory|mp3's in this dir)$"));
        EXPECT_TRUE(wellFormed.match(w->Label10->text()).hasMatch()) << w->Label10->text().toStdString();
    }

    // The events that read the lists, each followed by a look at the state:
    // the captions are still the window's, and the outputs come down to the
    // one device open under the alias, if any.
    void everyEventThatReadsTheLists() {
        const auto checked = [this](const char* event) {
            SCOPED_TRACE(event);
            QCoreApplication::processEvents();
            expectStatusLine();
            EXPECT_TRUE(w->Label6->text() == "  pause" || w->Label6->text() == "  play");
            EXPECT_TRUE(outputs.settlesToOneOutputPerOpenDevice(10s));
        };
        w.moveTo(QPoint(205, 100));
        checked("move over the surface");
        w.moveOver(w->File1->viewport());
        checked("move over the file list");
        w.moveOver(w->Dir1->viewport());
        checked("move over the folder list");
        w.moveOver(w->Label4);
        checked("move over the mute label");
        QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.fileRow(1));
        checked("click on an entry");
        QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(0));
        checked("double-click on an entry");
        w.click(w->Label5);
        checked("play");
        w.click(w->Label8);
        checked("next");
        w.click(w->Label9);
        checked("previous");
        w.click(w->Label6);
        checked("pause");
        w.click(w->Label6);
        checked("resume");
        w.click(w->Label7);
        checked("stop");
        const QString shown = QDir(w->Dir1->Path()).dirName();
        QTest::mouseClick(w.handle(), Qt::LeftButton, {}, folderEntry(shown));
        checked("click on the folder's own entry");
        QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry(shown));
        checked("double-click on the folder's own entry");
        if (w->Dir1->Path() == music) {
            QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry("sub"));
            checked("double-click on a subfolder");
        }
    }

    // What the window does with the folder gone: the lists keep what they
    // read, and the files it names open nowhere.
    void expectTheOldListAndNothingPlaying() {
        EXPECT_EQ(w->File1->ListCount(), 3);
        w.moveTo(QPoint(205, 100));
        EXPECT_EQ(w->Label10->text(), "(3) MP3 files in this directory");
        EXPECT_FALSE(OutputWatch::aliasOpen());
        EXPECT_EQ(outputs.live(), 0);
    }

    // Through the folder list alone: up to the test's folder, into the good
    // folder, and its file plays.
    void expectAGoodFolderListedAndPlayed() {
        QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry(QDir(root.path()).dirName()));
        ASSERT_EQ(w->Dir1->Path(), root.path());
        QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry("good"));
        ASSERT_EQ(w->Dir1->Path(), root.path() + "/good");
        EXPECT_EQ(w->File1->ListCount(), 1);
        const int before = outputs.made();
        QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(0));
        ASSERT_EQ(outputs.made(), before + 1);
        EXPECT_TRUE(waitFor([&] { return outputs.hub().frames(size_t(before)) > 0; }))
            << "the good folder's file is heard";
        w.moveTo(QPoint(205, 100));
        EXPECT_EQ(w->Label10->text(), "(1) MP3 files in this directory");
    }

    QTemporaryDir root;
    QString music;
    OutputWatch outputs;  // outlives the window, whose devices it counts
    WindowUnderTest w;
};

}  // namespace

TEST_F(FolderFaults, FolderRenamedWhileShown) {
    ASSERT_TRUE(QDir(root.path()).rename("outer/music", "outer/renamed"));
    everyEventThatReadsTheLists();
    expectTheOldListAndNothingPlaying();
    EXPECT_EQ(w->Dir1->Path(), music) << "the folder list cannot open what is gone";
    // The new name is there to be opened.
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry("outer"));
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry("renamed"));
    EXPECT_EQ(w->File1->ListCount(), 3);
    expectAGoodFolderListedAndPlayed();
}

TEST_F(FolderFaults, ParentOfTheFolderDeletedWhileShown) {
    ASSERT_TRUE(QDir(root.path() + "/outer").removeRecursively());
    everyEventThatReadsTheLists();
    expectTheOldListAndNothingPlaying();
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, folderEntry("outer"));
    EXPECT_EQ(w->Dir1->Path(), music) << "the gone parent is refused too";
    expectAGoodFolderListedAndPlayed();
}

TEST_F(FolderFaults, FolderDeletedWhileOneOfItsFilesPlays) {
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(0));
    ASSERT_EQ(outputs.made(), 1);
    ASSERT_TRUE(waitFor([&] { return outputs.hub().frames(0) > 0; }));
    ASSERT_TRUE(QDir(music).removeRecursively());

    // The open file plays on from what the device holds, or ends; it is not
    // cut short and nothing else starts.
    const std::int64_t heard = outputs.hub().frames(0);
    EXPECT_TRUE(waitFor([&] { return outputs.hub().frames(0) > heard; }));
    EXPECT_TRUE(OutputWatch::aliasOpen());
    EXPECT_EQ(outputs.live(), 1);

    // The next play stops and closes it, and finds nothing to open.
    w.click(w->Label8);
    EXPECT_TRUE(outputs.settlesToOneOutputPerOpenDevice(10s));
    EXPECT_TRUE(outputs.hub().record(0).closed);
    everyEventThatReadsTheLists();
    expectTheOldListAndNothingPlaying();
    EXPECT_EQ(outputs.made(), 1);
    expectAGoodFolderListedAndPlayed();
}

TEST_F(FolderFaults, FolderReplacedByAFileOfTheSameName) {
    ASSERT_TRUE(QDir(music).removeRecursively());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMYR_FIXTURES_DIR "/tone440.mp3"), music));
    everyEventThatReadsTheLists();
    expectTheOldListAndNothingPlaying();
    w->Dir1->setPath(music);
    EXPECT_EQ(w->File1->ListCount(), 3) << "a file is no folder: no change, the list stays";
    expectAGoodFolderListedAndPlayed();
}
