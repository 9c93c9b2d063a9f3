#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/controls/DirListBox.h"

using controls::DirListBox;

namespace {

struct Entry {
    QString name;
    QString path;
    int level;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> entries(const DirListBox& list) {
    std::vector<Entry> all;
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem* e = list.item(row);
        all.push_back(
            {e->text(), e->data(DirListBox::PathRole).toString(), e->data(DirListBox::LevelRole).toInt()});
    }
    return all;
}

int rowNamed(const DirListBox& list, const QString& name) {
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->text() == name) return row;
    return -1;
}

// A list in a window of its own, not shown yet, at a folder whose subfolders
// one/ and two/ each hold inner/.
DirListBox* twoFolderList(QWidget& window, const QTemporaryDir& dir) {
    for (const char* sub : {"/one/inner", "/two/inner"}) QDir().mkpath(dir.path() + sub);
    auto* list = new DirListBox(&window);
    list->setGeometry(0, 0, 200, 300);
    list->setPath(dir.path());
    return list;
}

}  // namespace

TEST(DirListBox, ShowsAncestorsTheFolderAndItsVisibleSubfolders) {
    QTemporaryDir dir;
    for (const char* sub : {"top/beta", "top/Alpha", "top/.hidden", "top/gamma/deeper"})
        QDir().mkpath(dir.path() + "/top/" + QString(sub).section('/', 1));
    QFile(dir.path() + "/top/file.mp3").open(QIODevice::WriteOnly);

    DirListBox list;
    list.setPath(dir.path() + "/top");
    const std::vector<Entry> all = entries(list);
    const QStringList parts = QDir::cleanPath(dir.path() + "/top").split('/', Qt::SkipEmptyParts);
    ASSERT_EQ(all.size(), size_t(1 + parts.size() + 3));
    EXPECT_EQ(all.front(), (Entry{"/", "/", 0}));
    const int depth = int(parts.size());
    EXPECT_EQ(all[depth], (Entry{"top", dir.path() + "/top", depth}));
    EXPECT_EQ(all[depth + 1], (Entry{"Alpha", dir.path() + "/top/Alpha", depth + 1}));
    EXPECT_EQ(all[depth + 2], (Entry{"beta", dir.path() + "/top/beta", depth + 1}));
    EXPECT_EQ(all[depth + 3], (Entry{"gamma", dir.path() + "/top/gamma", depth + 1}));
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

TEST(DirListBox, StartsAtTheCurrentFolderWithNothingSelected) {
    DirListBox list;
    EXPECT_EQ(list.Path(), QDir::currentPath());
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

TEST(DirListBox, SettingThePathRaisesChangeOnlyForAnotherFolderItCanOpen) {
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/a");
    QFile(dir.path() + "/plain.txt").open(QIODevice::WriteOnly);
    DirListBox list;
    QSignalSpy changes(&list, &DirListBox::Change);

    list.setPath(dir.path());
    EXPECT_EQ(changes.count(), 1);
    list.setPath(dir.path());
    EXPECT_EQ(changes.count(), 1) << "the same folder is no change";

    for (const QString& refused : {dir.path() + "/missing", dir.path() + "/plain.txt", QString()}) {
        list.setPath(refused);
        EXPECT_EQ(list.Path(), dir.path()) << refused.toStdString();
    }
    EXPECT_EQ(changes.count(), 1);

    list.setPath(dir.path() + "/a/");
    EXPECT_EQ(list.Path(), dir.path() + "/a/") << "kept as given";
    EXPECT_EQ(changes.count(), 2);
}

TEST(DirListBox, RefusesAFolderItCannotRead) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/locked");
    QFile::setPermissions(dir.path() + "/locked", {});
    DirListBox list;
    list.setPath(dir.path());
    list.setPath(dir.path() + "/locked");
    EXPECT_EQ(list.Path(), dir.path());
    QFile::setPermissions(dir.path() + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(DirListBox, ShowsWhatItCanOfAFolderThatVanished) {
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/gone/sub");
    DirListBox list;
    list.setPath(dir.path() + "/gone");
    ASSERT_TRUE(QDir(dir.path() + "/gone").removeRecursively());
    QSignalSpy changes(&list, &DirListBox::Change);
    list.setPath(dir.path() + "/gone/sub");
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(list.Path(), dir.path() + "/gone");
    list.setPath(dir.path());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(list.item(list.count() - 1)->text(), QDir(dir.path()).dirName());
}

TEST(DirListBox, ClickSelectsDoubleClickOpens) {
    QTemporaryDir dir;
    QWidget window;
    auto* list = twoFolderList(window, dir);
    QSignalSpy changes(list, &DirListBox::Change);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto entryPoint = [&](const QString& name) {
        QListWidgetItem* entry = list->item(rowNamed(*list, name));
        list->scrollToItem(entry);
        return list->viewport()->mapTo(&window, list->visualItemRect(entry).center());
    };

    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, entryPoint("one"));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(list->Path(), dir.path());
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().first()->text(), "one");

    QTest::mouseDClick(window.windowHandle(), Qt::RightButton, {}, entryPoint("two"));
    EXPECT_EQ(changes.count(), 0) << "the right button opens nothing";
    EXPECT_EQ(list->selectedItems().first()->text(), "one") << "nor selects";

    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, entryPoint("two"));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(list->Path(), dir.path() + "/two");
    EXPECT_NE(rowNamed(*list, "inner"), -1);
}

// The entry with the keyboard cursor opens on Enter and keypad Enter, selected
// first as a double-click selects it.
TEST(DirListBox, EnterOpensTheCursorsEntryAsADoubleClick) {
    QTemporaryDir dir;
    QWidget window;
    auto* list = twoFolderList(window, dir);
    QSignalSpy changes(list, &DirListBox::Change);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus(Qt::TabFocusReason);

    QTest::keyClick(window.windowHandle(), Qt::Key_End);
    EXPECT_EQ(changes.count(), 0) << "the arrows and End only move";
    QTest::keyClick(window.windowHandle(), Qt::Key_Up);
    EXPECT_EQ(list->currentItem()->text(), "one");
    QTest::keyClick(window.windowHandle(), Qt::Key_Return);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(list->Path(), dir.path() + "/one");
    ASSERT_NE(rowNamed(*list, "inner"), -1);

    list->setCurrentRow(rowNamed(*list, "inner"), QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(list->selectedItems().isEmpty());
    QTest::keyClick(window.windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(list->Path(), dir.path() + "/one/inner");
}
