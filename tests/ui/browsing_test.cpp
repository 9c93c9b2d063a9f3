#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QProcess>
#include <QSignalSpy>
#include <chrono>
#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/desktop/MediaControls.h"
#include "platform/desktop/file_uri.h"
#include "tests/support/wait.h"
#include "window_harness.h"

using namespace velmyr_test;

namespace {

// A folder of three files to browse, beside files whose names hold a "\", so
// that the open command shows which separator a handler used: the media layer
// takes a name as given when such a file exists.
class Browsing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        makeEntries(root.path(),
                    {"music/", "music/a.mp3", "music/b.mp3", "music/c.mp3", "music/notes.txt", "music/sub/",
                     "other/", "other/x.mp3", "empty/", "music\\b.mp3", "music\\"});
        music = root.path() + "/music";
        w->Dir1->setPath(music);
        ASSERT_TRUE(w.show());
        commands.take();
    }

    std::string path(const QString& text) { return text.toStdString(); }

    QTemporaryDir root;
    QString music;
    WindowUnderTest w;
    CommandRecorder commands;
};

}  // namespace

TEST_F(Browsing, FolderChangeListsTheFolderAndPlaysOn) {
    EXPECT_EQ(w->File1->Path(), music);
    EXPECT_EQ(w->File1->ListCount(), 3);
    w->Label5->setText("x");  // any caption: a folder change touches none
    w->Dir1->setPath(root.path() + "/other");
    EXPECT_EQ(w->File1->Path(), root.path() + "/other");
    EXPECT_EQ(w->File1->ListCount(), 1);
    EXPECT_TRUE(commands.take().empty());
    EXPECT_EQ(w->Label5->text(), "x");
}

TEST_F(Browsing, OpeningAFolderInTheFolderListMakesTheFileListFollow) {
    auto* dirs = w->Dir1;
    int sub = -1;
    for (int row = 0; row < dirs->count(); ++row)
        if (dirs->item(row)->text() == "sub") sub = row;
    ASSERT_NE(sub, -1);
    dirs->scrollToItem(dirs->item(sub));
    const QPoint at = dirs->viewport()->mapTo(w.window.get(), dirs->visualItemRect(dirs->item(sub)).center());
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dirs->Path(), music + "/sub");
    EXPECT_EQ(w->File1->Path(), music + "/sub");
    EXPECT_EQ(w->File1->ListCount(), 0);
    EXPECT_TRUE(commands.take().empty());
}

// What a double-click on the entry with the keyboard cursor does: on the file
// list the double-click's handler, caption and "\" included; on the folder
// list the folder opens, and the file list follows.
TEST_F(Browsing, EnterPlaysTheFileAndOpensTheFolderWithTheKeyboardCursor) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
    ASSERT_TRUE(w->File1->hasFocus()) << "the file list has the focus at start";
    QTest::keyClick(w.handle(), Qt::Key_Return);
    EXPECT_EQ(w->File1->FileName(), "a.mp3") << "the entry with the cursor, not selected before";
    EXPECT_EQ(commands.take(), playCommands(path(music + "/a.mp3")));
    QTest::keyClick(w.handle(), Qt::Key_Down);
    EXPECT_TRUE(commands.take().empty());
    w->Label6->setText("  play");
    QTest::keyClick(w.handle(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(w->Label6->text(), "  pause");
    EXPECT_EQ(commands.take(), playCommands(path(music + "\\b.mp3")));

    QTest::keyClick(w.handle(), Qt::Key_Tab);
    ASSERT_TRUE(w->Dir1->hasFocus());
    QTest::keyClick(w.handle(), Qt::Key_End);
    EXPECT_EQ(w->Dir1->Path(), music) << "the arrows and End only move";
    QTest::keyClick(w.handle(), Qt::Key_Return);
    EXPECT_EQ(w->Dir1->Path(), music + "/sub");
    EXPECT_EQ(w->File1->Path(), music + "/sub");
    EXPECT_TRUE(commands.take().empty()) << "the file plays on";
}

TEST_F(Browsing, SingleClickSelectsAndStartsNothing) {
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.fileRow(1));
    EXPECT_EQ(w->File1->FileName(), "b.mp3");
    EXPECT_TRUE(commands.take().empty());
}

TEST_F(Browsing, DoubleClickPlaysTheFileJoinedWithBackslash) {
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(1));
    EXPECT_EQ(w->File1->FileName(), "b.mp3");
    EXPECT_EQ(commands.take(), playCommands(path(music + "\\b.mp3")));
}

TEST_F(Browsing, PlayHandlersSetThePauseCaptionBackFirst) {
    w->Label6->setText("  play");
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(0));
    EXPECT_EQ(w->Label6->text(), "  pause");
    w->Label6->setText("  play");
    w.click(w->Label5);
    EXPECT_EQ(w->Label6->text(), "  pause");
    w->Label6->setText(" play");  // not the exact caption: left alone
    w.click(w->Label5);
    EXPECT_EQ(w->Label6->text(), " play");
}

TEST_F(Browsing, PlayLabelPlaysTheSelectionOrTheFolderWithNothingSelected) {
    w->File1->setListIndex(2);
    w.click(w->Label5);
    EXPECT_EQ(commands.take(), playCommands(path(music + "/c.mp3")))
        << "no decoy for c.mp3: the media layer reads the \\ as a separator";

    w->File1->setListIndex(-1);
    w.click(w->Label5);
    EXPECT_EQ(commands.take(), playCommands(path(music + "\\")));
}

TEST_F(Browsing, NextAndPreviousJoinWithSlashAndStopAtTheEnds) {
    w.click(w->Label8);  // nothing selected: the first entry
    EXPECT_EQ(w->File1->ListIndex(), 0);
    EXPECT_EQ(commands.take(), playCommands(path(music + "/a.mp3")));
    w.click(w->Label8);
    w.click(w->Label8);
    EXPECT_EQ(w->File1->FileName(), "c.mp3");
    commands.take();
    w.click(w->Label8);
    EXPECT_EQ(w->File1->ListIndex(), 2) << "no wrap";
    EXPECT_TRUE(commands.take().empty()) << "the last file plays on";

    w.click(w->Label9);
    EXPECT_EQ(commands.take(), playCommands(path(music + "/b.mp3")));
    w.click(w->Label9);
    EXPECT_EQ(w->File1->FileName(), "a.mp3");
    commands.take();
    w.click(w->Label9);
    EXPECT_EQ(w->File1->ListIndex(), 0) << "no wrap";
    EXPECT_TRUE(commands.take().empty()) << "the first file plays on";
}

TEST_F(Browsing, PreviousWithNothingSelectedAndNextOnAnEmptyListDoNothing) {
    w.click(w->Label9);
    EXPECT_EQ(w->File1->ListIndex(), -1);
    EXPECT_TRUE(commands.take().empty());

    w->Dir1->setPath(root.path() + "/empty");
    w.click(w->Label8);
    w.click(w->Label9);
    EXPECT_EQ(w->File1->ListIndex(), -1);
    EXPECT_TRUE(commands.take().empty());
}

TEST_F(Browsing, NextAndPreviousWhilePausedLeaveThePauseCaption) {
    w->Label6->setText("  play");
    w.click(w->Label8);
    w.click(w->Label8);
    w.click(w->Label9);
    EXPECT_EQ(commands.take().size(), 12u);
    EXPECT_EQ(w->Label6->text(), "  play");
}

TEST_F(Browsing, FolderPathEndingInASeparatorStillGetsOne) {
    w->Dir1->setPath(music + "/");
    w.click(w->Label8);
    EXPECT_EQ(commands.take(), playCommands(path(music + "//a.mp3"))) << "two separators, and it opens";
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.fileRow(1));
    EXPECT_EQ(commands.take(), playCommands(path(music + "//b.mp3")))
        << "\"/\\\" reads as two separators to the media layer";
}

TEST_F(Browsing, FolderThatVanishedDoesNotStopTheWindow) {
    makeEntries(root.path(), {"gone/", "gone/a.mp3", "gone/b.mp3"});
    w->Dir1->setPath(root.path() + "/gone");
    ASSERT_EQ(w->File1->ListCount(), 2);
    ASSERT_TRUE(QDir(root.path() + "/gone").removeRecursively());

    w.click(w->Label8);  // the list still shows what it read
    EXPECT_EQ(w->File1->FileName(), "a.mp3");
    const std::vector<std::string> sent = commands.take();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], "open  type mpegvideo alias lirovan") << "the file is gone: no short form";

    w->Dir1->setPath(root.path() + "/gone");  // refused: the folder list stays
    EXPECT_EQ(w->Dir1->Path(), root.path() + "/gone");
    w->Dir1->setPath(music);
    EXPECT_EQ(w->File1->ListCount(), 3);
}

TEST_F(Browsing, FolderThatCannotBeReadIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    makeEntries(root.path(), {"locked/", "locked/a.mp3"});
    QFile::setPermissions(root.path() + "/locked", {});
    w->Dir1->setPath(root.path() + "/locked");
    EXPECT_EQ(w->Dir1->Path(), music);
    EXPECT_EQ(w->File1->ListCount(), 3);
    QFile::setPermissions(root.path() + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Browsing, FileNameThatIsNotUtf8PlaysUnderItsOwnBytes) {
    const QByteArray folder = QFile::encodeName(root.path() + "/latin");
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QByteArray name = "caf\xE9 \xFF.mp3";  // Latin-1, not UTF-8
    const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    w->Dir1->setPath(root.path() + "/latin");
    ASSERT_EQ(w->File1->ListCount(), 1);

    w.click(w->Label8);
    const std::vector<std::string> sent = commands.take();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], "open " + (folder + '/' + name).toStdString() + " type mpegvideo alias lirovan");
}

namespace {

// A session bus of the tests' own, started at the first call and ended with
// the test program, also when it crashes: the window's player controls never
// reach the desktop's bus. Empty when none could be started.
QString testSessionBus() {
    static const QString address = [] {
        auto* daemon = new QProcess;  // runs to the end
        daemon->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        daemon->start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                      "--address=unix:tmpdir=" + QDir::tempPath()});
        while (!daemon->canReadLine() && daemon->waitForReadyRead(int(kPatience.count()))) {
        }
        const QString line = QString::fromUtf8(daemon->readLine()).trimmed();
        if (!line.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", line.toUtf8());
        return line;
    }();
    return address;
}

const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.velmyr_test");

// The values of CanGoNext and CanGoPrevious that the player announced, in
// order, as another program on the bus hears them.
class Announced : public QObject {
    Q_OBJECT
public:
    Announced() {
        bus_.connect(QString(), "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                     "PropertiesChanged", this, SLOT(take(QDBusMessage)));
        bus_.interface()->isServiceRegistered(kBusName);  // a round trip: the bus has the match rule
    }
    ~Announced() override { QDBusConnection::disconnectFromBus(bus_.name()); }
    QStringList values;

public slots:
    void take(const QDBusMessage& message) {
        const QVariantMap changed = qdbus_cast<QVariantMap>(message.arguments().value(1));
        for (const char* name : {"CanGoNext", "CanGoPrevious"})
            if (changed.contains(name)) values << QString(name) + "=" + changed.value(name).toString();
    }

private:
    QDBusConnection bus_ = QDBusConnection::connectToBus(testSessionBus(), "announcements");
};

// The window with its player controls on the tests' bus, as the program has
// them. The folder shown holds a hidden file and a link named ".mp3" to a file
// named otherwise; a link to a folder lies beside it.
class OpenWith : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_FALSE(testSessionBus().isEmpty()) << "no dbus-daemon"; }

    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        makeEntries(root.path(), {"music/", "music/a.mp3", "music/b.mp3", "music/.hidden.mp3", "other/",
                                  "other/x.mp3", "tones/", "tones/tone"});
        music = root.path() + "/music";
        ASSERT_TRUE(QFile::link(root.path() + "/tones/tone", music + "/link.mp3"));
        ASSERT_TRUE(QFile::link(root.path() + "/other", root.path() + "/linked"));
        w->Dir1->setPath(music);
        ASSERT_TRUE(w.show());
        commands.take();
    }

    // OpenUri as the bus hands it over, and the event loop's next turn.
    bool openUri(const QString& uri) {
        const bool answer = w->Desktop->OpenUriRequested(uri);
        QCoreApplication::processEvents();
        return answer;
    }
    static QString uriOf(const QString& path) {
        return QString::fromStdString(desktop::fileUriFromPath(path.toStdString()));
    }
    // The commands sent, but for the questions of what plays that the player
    // controls ask.
    std::vector<std::string> sent() {
        std::vector<std::string> sent = commands.take();
        std::erase_if(
            sent, [](const std::string& c) { return c.starts_with("status ") || c.starts_with("info "); });
        return sent;
    }
    // This window's player controls are on the bus. The bus name stays with the
    // test program's one connection from the first window on.
    bool onBus() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.objectRegisteredAt("/org/mpris/MediaPlayer2") == w->Desktop &&
               bus.interface()->isServiceRegistered(kBusName);
    }
    std::string path(const QString& text) { return text.toStdString(); }

    QTemporaryDir root;
    QString music;
    WindowUnderTest w{frmVELMYR::Options::BusNames{kBusName, "/org/velmyr/test/"}};
    CommandRecorder commands;
};

}  // namespace

TEST_F(OpenWith, ALinkOpensUnderItsOwnName) {
    ASSERT_TRUE(openUri(uriOf(music + "/link.mp3")));
    EXPECT_EQ(w->File1->FileName(), "link.mp3");
    EXPECT_EQ(sent(), playCommands(path(music + "/link.mp3")));

    ASSERT_TRUE(openUri(uriOf(root.path() + "/linked")));
    EXPECT_EQ(w->Dir1->Path(), root.path() + "/linked");
    EXPECT_EQ(w->File1->ListCount(), 1);

    // The command line's paths: absolute, normal, and not resolved.
    const QString current = QDir::currentPath();
    QDir::setCurrent(root.path());
    EXPECT_EQ(desktop::normalPath("linked/../music//link.mp3"), path(music + "/link.mp3"));
    EXPECT_EQ(desktop::normalPath("./linked/"), path(root.path() + "/linked"));
    QDir::setCurrent(current);
}

TEST_F(OpenWith, AFileThatIsNotListedPlaysNothingAndTheSelectionStays) {
    ASSERT_TRUE(openUri(uriOf(music + "/b.mp3")));
    ASSERT_EQ(w->File1->FileName(), "b.mp3");
    sent();

    EXPECT_TRUE(openUri(uriOf(music + "/.hidden.mp3")));
    makeEntries(music, {"gone.mp3"});
    EXPECT_TRUE(w->Desktop->OpenUriRequested(uriOf(music + "/gone.mp3")));
    ASSERT_TRUE(QFile::remove(music + "/gone.mp3"));  // before the open comes
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(w->File1->FileName(), "b.mp3");

    makeEntries(music, {"new.mp3"});
    EXPECT_TRUE(openUri(uriOf(music + "/new.mp3")));
    EXPECT_EQ(w->File1->FileName(), "new.mp3") << "the list is read again for a newer file";
}

TEST_F(OpenWith, UriPathsAreNormal) {
    ASSERT_TRUE(openUri("file://" + root.path() + "//other/"));
    EXPECT_EQ(w->Dir1->Path(), root.path() + "/other");
    ASSERT_TRUE(openUri("file://" + music + "//b.mp3"));
    EXPECT_EQ(w->Dir1->Path(), music);
    EXPECT_EQ(sent(), playCommands(path(music + "/b.mp3")));
    EXPECT_EQ(desktop::normalPath(path(root.path() + "/other/")), path(root.path() + "/other"));
}

// A second start with a file is answered before the open, which may take
// long on a slow disk or a busy machine: the start then ends without a window
// of its own, while the first one plays the file.
TEST_F(OpenWith, ASlowOpenStillAnswersASecondStartInTime) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return onBus(); }, int(kPatience.count())));
    constexpr std::chrono::milliseconds limit(2000), slowOpen = 2 * limit;
    media::setCommandObserver([&](const std::string& command) {
        if (command.starts_with("open ")) std::this_thread::sleep_for(slowOpen);
    });
    auto handed = std::async(std::launch::async, [&] {
        return desktop::handToRunningCopy(kBusName, path(music + "/b.mp3"), limit);
    });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                        int((kPatience + slowOpen).count())));
    EXPECT_TRUE(handed.get());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->File1->FileName() == "b.mp3"; }, int(kPatience.count())));
}

TEST_F(OpenWith, TheListsEndsAreAnnouncedAfterEveryChangeOfSelectionOrFolder) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return onBus(); }, int(kPatience.count())));
    Announced announced;
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.fileRow(2));  // the last entry
    const QStringList lastEntry = {"CanGoNext=false", "CanGoPrevious=true"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced.values == lastEntry; }, int(kPatience.count())))
        << announced.values.join(' ').toStdString();
    w->Dir1->setPath(root.path() + "/other");  // one entry, none selected
    const QStringList noneSelected = lastEntry + QStringList{"CanGoNext=true", "CanGoPrevious=false"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced.values == noneSelected; }, int(kPatience.count())))
        << announced.values.join(' ').toStdString();
}

#include "browsing_test.moc"
