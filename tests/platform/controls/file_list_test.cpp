#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/controls/FileListBox.h"
#include "platform/controls/file_names.h"

using controls::FileListBox;

namespace {

void makeEntries(const QString& root, const QStringList& names) {
    for (const QString& name : names) {
        if (name.endsWith(u'/')) {
            QDir().mkpath(root + u'/' + name);
        } else {
            QFile file(root + u'/' + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
}

QStringList entries(const FileListBox& list) {
    QStringList names;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        names << list.model()->index(row, 0).data().toString();
    return names;
}

// A list of two files in a window of its own, not shown yet.
FileListBox* twoFileList(QWidget& window, const QTemporaryDir& dir) {
    makeEntries(dir.path(), {"a.mp3", "b.mp3"});
    auto* list = new FileListBox(&window);
    list->setGeometry(0, 0, 150, 80);
    list->setPath(dir.path());
    return list;
}

}  // namespace

TEST(FileListBox, ListsMatchingFilesWithoutRegardToCaseLeavingOutHiddenOnes) {
    QTemporaryDir dir;
    makeEntries(dir.path(), {"b.MP3", "A.mp3", "c.Mp3", "song.mp3.txt", "x.wav", ".hidden.mp3", "folder.mp3/",
                             "mp3", "a.mp3", "Été.MP3", "zz.mp3"});
    QFile::link(dir.path() + "/b.MP3", dir.path() + "/link.mp3");
    QFile::link(dir.path() + "/missing", dir.path() + "/broken.mp3");

    FileListBox list;
    list.setPath(dir.path());
    // Equal but for case: the case decides, so the order is the same every time.
    EXPECT_EQ(entries(list),
              (QStringList{"A.mp3", "a.mp3", "b.MP3", "c.Mp3", "link.mp3", "zz.mp3", "Été.MP3"}));
    EXPECT_EQ(list.ListCount(), 7);
    EXPECT_EQ(list.Path(), dir.path());
    EXPECT_EQ(list.Pattern(), "*.mp3");
}

TEST(FileListBox, WildcardsMatchWithoutRegardToCase) {
    EXPECT_TRUE(FileListBox::wildcardMatch(u"*.mp3", u"SONG.MP3"));
    EXPECT_TRUE(FileListBox::wildcardMatch(u"*.mp3", u"a.b.mp3"));
    EXPECT_TRUE(FileListBox::wildcardMatch(u"*.mp3", u".mp3"));
    EXPECT_FALSE(FileListBox::wildcardMatch(u"*.mp3", u"a.mp3x"));
    EXPECT_FALSE(FileListBox::wildcardMatch(u"*.mp3", u"mp3"));
    EXPECT_TRUE(FileListBox::wildcardMatch(u"a?c*", u"abc"));
    EXPECT_FALSE(FileListBox::wildcardMatch(u"a?c", u"ac"));
    EXPECT_TRUE(FileListBox::wildcardMatch(u"*", u""));
    EXPECT_TRUE(FileListBox::wildcardMatch(u"*é*", u"CAFÉ.mp3"));
}

TEST(FileListBox, TheListingTakesAnyPattern) {
    QTemporaryDir dir;
    makeEntries(dir.path(), {"a.mp3", "b.wav"});
    EXPECT_EQ(FileListBox::matchingFiles(dir.path(), "*.wav"), QStringList{"b.wav"});
}

TEST(FileListBox, ListIndexAndFileNameFollowTheSelection) {
    QTemporaryDir dir;
    makeEntries(dir.path(), {"a.mp3", "b.mp3", "c.mp3"});
    FileListBox list;
    list.setPath(dir.path());
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.FileName(), "");

    list.setListIndex(1);
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_EQ(list.FileName(), "b.mp3");
    list.setListIndex(-1);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.FileName(), "");

    list.setListIndex(2);
    list.setPath(dir.path());  // read anew: the selection goes
    EXPECT_EQ(list.ListIndex(), -1);
}

TEST(FileListBox, StartsAtTheCurrentFolder) {
    FileListBox list;
    EXPECT_EQ(list.Path(), QDir::currentPath());
}

TEST(FileListBox, TakingTheFocusSelectsNothing) {
    QTemporaryDir dir;
    QWidget window;
    auto* list = twoFileList(window, dir);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->hasFocus());
    EXPECT_TRUE(list->currentIndex().isValid()) << "the view made a row current";
    EXPECT_EQ(list->ListIndex(), -1);
    EXPECT_EQ(list->FileName(), "");
}

TEST(FileListBox, SingleClickSelectsDoubleClickRaisesDblClickOnEntriesOnly) {
    QTemporaryDir dir;
    QWidget window;
    auto* list = twoFileList(window, dir);
    QSignalSpy dblClicks(list, &FileListBox::DblClick);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto rowPoint = [&](int row) {
        return list->viewport()->mapTo(&window, list->visualRect(list->model()->index(row, 0)).center());
    };

    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(list->FileName(), "b.mp3");
    EXPECT_EQ(dblClicks.count(), 0);

    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, rowPoint(0));
    EXPECT_EQ(list->FileName(), "a.mp3");
    EXPECT_EQ(dblClicks.count(), 1);

    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                       list->viewport()->mapTo(&window, QPoint(5, 70)));
    EXPECT_EQ(dblClicks.count(), 1) << "below the last entry";

    // The other buttons neither select nor double-click.
    list->setListIndex(0);
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(window.windowHandle(), button, {}, rowPoint(1));
        QTest::mouseDClick(window.windowHandle(), button, {}, rowPoint(1));
        EXPECT_EQ(list->FileName(), "a.mp3") << button;
        EXPECT_EQ(dblClicks.count(), 1) << button;
    }
}

// What a keyboard user has: the entry with the cursor, not selected yet after
// the focus came, is selected and raises DblClick on Enter or keypad Enter,
// once for a key held down; nothing else is taken from the list.
TEST(FileListBox, EnterActsOnTheCursorsEntryAsADoubleClick) {
    QTemporaryDir dir;
    QWidget window;
    auto* list = twoFileList(window, dir);
    QSignalSpy dblClicks(list, &FileListBox::DblClick);
    QSignalSpy selections(list, &FileListBox::SelectionChange);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(list->ListIndex(), -1);

    QTest::keyClick(window.windowHandle(), Qt::Key_Return);
    EXPECT_EQ(list->FileName(), "a.mp3");
    EXPECT_EQ(dblClicks.count(), 1);
    EXPECT_EQ(selections.count(), 1);

    QTest::keyClick(window.windowHandle(), Qt::Key_Down);
    EXPECT_EQ(list->FileName(), "b.mp3") << "the arrows select, as before";
    EXPECT_EQ(dblClicks.count(), 1);
    QTest::keyClick(window.windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dblClicks.count(), 2);

    QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(list, &held);
    QTest::keyClick(window.windowHandle(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(window.windowHandle(), Qt::Key_Space);
    EXPECT_EQ(dblClicks.count(), 2);

    const qsizetype before = selections.count();
    list->setPath(dir.path() + "/none");
    EXPECT_EQ(selections.count(), before + 1) << "the list read anew";
    QTest::keyClick(window.windowHandle(), Qt::Key_Return);
    EXPECT_EQ(dblClicks.count(), 2) << "an empty list";
}

TEST(FileListBox, MovesOverTheListAreRaisedInTwipsOfTheList) {
    QWidget window;
    window.setMouseTracking(true);
    auto* list = new FileListBox(&window);
    list->setGeometry(10, 10, 150, 80);
    QSignalSpy moves(list, &FileListBox::MouseMove);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(window.windowHandle(), QPoint(30, 40));
    ASSERT_EQ(moves.count(), 1);
    EXPECT_FLOAT_EQ(moves.at(0).at(2).value<float>(), 300.0f);
    EXPECT_FLOAT_EQ(moves.at(0).at(3).value<float>(), 450.0f);
}

TEST(FileListBox, FolderThatVanishedListsNothing) {
    QTemporaryDir dir;
    makeEntries(dir.path(), {"gone/", "gone/a.mp3"});
    FileListBox list;
    list.setPath(dir.path() + "/gone");
    list.setListIndex(0);
    ASSERT_EQ(list.ListCount(), 1);
    ASSERT_TRUE(QDir(dir.path() + "/gone").removeRecursively());
    EXPECT_EQ(list.FileName(), "a.mp3") << "what was read stays until read again";
    list.setPath(dir.path() + "/gone");
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    list.setPath(dir.path() + "/not-a-folder.mp3");
    EXPECT_EQ(list.ListCount(), 0);
}

TEST(FileListBox, FolderThatCannotBeReadListsNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    QTemporaryDir dir;
    makeEntries(dir.path(), {"locked/", "locked/b.mp3"});
    FileListBox list;
    QFile::setPermissions(dir.path() + "/locked", {});
    list.setPath(dir.path() + "/locked");
    EXPECT_EQ(list.ListCount(), 0);
    QFile::setPermissions(dir.path() + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(FileNames, AnyBytesComeBackUnchangedAndValidUtf8ReadsAsText) {
    const QByteArray names[] = {"a.mp3",
                                "\xC3\x89t\xC3\xA9.MP3",
                                "\xF0\x9F\x8E\xB5.mp3",
                                "caf\xE9.mp3",
                                "\xFF\xFE",
                                "\xC0\xAF",
                                "\xED\xA0\x80",
                                "\xE2\x82",
                                "\xF4\x90\x80\x80",
                                "x\x80y"};
    for (const QByteArray& bytes : names) {
        const QString name = controls::fileNameFromBytes(bytes);
        EXPECT_EQ(controls::fileNameToBytes(name), bytes) << bytes.toHex().toStdString();
        if (QString::fromUtf8(bytes).toUtf8() == bytes)
            EXPECT_EQ(name, QString::fromUtf8(bytes)) << bytes.toHex().toStdString();
        else
            EXPECT_FALSE(name.contains(QChar::ReplacementCharacter)) << bytes.toHex().toStdString();
    }
}

TEST(FileListBox, ListsANameThatIsNotUtf8UnderItsOwnBytes) {
    QTemporaryDir dir;
    const QByteArray name = "caf\xE9.mp3";
    const int fd = ::open((QFile::encodeName(dir.path()) + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    FileListBox list;
    list.setPath(dir.path());
    list.setListIndex(0);
    EXPECT_EQ(controls::fileNameToBytes(list.FileName()), name);
}
