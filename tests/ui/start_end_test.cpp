#include <QScopeGuard>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>

#include "app/termination.h"
#include "tests/support/write_faults.h"
#include "window_harness.h"

using namespace velmyr_test;

namespace {

// Builds the window with a settings file that holds `content` (none when
// null), in a program folder of its own.
struct Start {
    QTemporaryDir programFolder;
    int endCalls = 0;
    std::unique_ptr<frmVELMYR> window;
    std::function<void()> onEnd;

    explicit Start(const char* content) {
        if (content) {
            QFile ini(programFolder.path() + "/velmyr.ini");
            EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write(content);
        }
        frmVELMYR::Options options;
        options.programFolder = programFolder.path();
        options.endProgram = [this] {
            ++endCalls;
            if (onEnd) onEnd();
        };
        window = std::make_unique<frmVELMYR>(options);
    }
    frmVELMYR* operator->() { return window.get(); }

    QString settings() {
        QFile ini(programFolder.path() + "/velmyr.ini");
        return ini.open(QIODevice::ReadOnly) ? QString::fromUtf8(ini.readAll()) : QString();
    }
};

QByteArray iniWithPath(const QString& path) { return ("[velmyr]\npath=" + path + "\n").toUtf8(); }

// The starting folder of the lists, with two MP3 files, for the length of a test.
class StartAndEnd : public ::testing::Test {
protected:
    void SetUp() override {
        makeEntries(startFolder.path(), {"one.mp3", "two.mp3"});
        makeEntries(restored.path(), {"01.mp3", "02.mp3", "03.mp3", "04.mp3", "05.mp3", "06.mp3", "07.mp3",
                                      "08.mp3", "09.mp3", "10.mp3", "11.mp3", "12.mp3"});
        previous = QDir::currentPath();
        QDir::setCurrent(startFolder.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir startFolder, restored;
    QString previous;
};

}  // namespace

TEST_F(StartAndEnd, LoadRestoresTheFolderAndWritesItsCountBeforeShowing) {
    Start w(iniWithPath(restored.path()).constData());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->Dir1->Path(), restored.path());
    EXPECT_EQ(w->File1->Path(), restored.path());
    EXPECT_EQ(w->Label10->text(), "(12) MP3 files in this directory");
}

TEST_F(StartAndEnd, NothingUsableStoredKeepsTheStartingFolder) {
    QFile(restored.path() + "/file.txt").open(QIODevice::WriteOnly);
    const QByteArray cases[] = {
        QByteArray(), "[velmyr]\npath=\n", "[other]\npath=" + restored.path().toUtf8() + "\n",
        iniWithPath(restored.path() + "/missing"), iniWithPath(restored.path() + "/file.txt")};
    for (const QByteArray& content : cases) {
        SCOPED_TRACE(content.toStdString());
        Start w(content.isNull() ? nullptr : content.constData());
        EXPECT_EQ(w->Dir1->Path(), startFolder.path());
        EXPECT_EQ(w->Label10->text(), "(2) MP3 files in this directory");
    }
}

TEST_F(StartAndEnd, TheSettingsFileLiesInTheProgramFolderJoinedAsText) {
    frmVELMYR::Options options;
    options.programFolder = "/opt/velmyr/";
    options.endProgram = [] {};
    frmVELMYR w(options);
    EXPECT_EQ(w.SettingsFile(), "/opt/velmyr//velmyr.ini");
}

TEST_F(StartAndEnd, AReadOnlyProgramFoldersFileIsRestoredAndTheUsersConfigFolderKeepsTheFolder) {
    QTemporaryDir config, readOnly;
    const QByteArray previousConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    // Read-only, as a folder on read-only media is even for root.
    velmyr_test::denyWriteAccessTo(readOnly.path().toStdString());
    const auto restore = qScopeGuard([&] {
        velmyr_test::denyWriteAccessTo(std::nullopt);
        if (previousConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", previousConfig);
    });
    const QString beside = readOnly.path() + "/velmyr.ini";
    QFile ini(beside);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(iniWithPath(restored.path()));
    ini.close();
    const QString later = startFolder.path() + "/later";
    ASSERT_TRUE(QDir().mkdir(later));
    frmVELMYR::Options options;
    options.programFolder = readOnly.path();
    options.endProgram = [] {};
    {
        frmVELMYR first(options);
        EXPECT_EQ(first.Dir1->Path(), restored.path());
        EXPECT_EQ(first.Label10->text(), "(12) MP3 files in this directory");
        first.Dir1->setPath(later);
        first.close();
    }
    frmVELMYR second(options);
    EXPECT_EQ(second.Dir1->Path(), later);
    QFile users(config.path() + "/velmyr/velmyr.ini");
    ASSERT_TRUE(users.open(QIODevice::ReadOnly));
    EXPECT_EQ(users.readAll(), iniWithPath(later));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), iniWithPath(restored.path())) << "the file beside the program is never written";
}

TEST_F(StartAndEnd, UnloadWritesTheFolderThenStopsThenEnds) {
    Start w(nullptr);
    w->Dir1->setPath(restored.path());
    std::vector<std::string> sent;
    std::vector<bool> folderWrittenAt;
    media::setCommandObserver([&](const std::string& command) {
        sent.push_back(command);
        folderWrittenAt.push_back(w.settings().contains(restored.path()));
    });
    std::size_t commandsAtEnd = 0;
    w.onEnd = [&] { commandsAtEnd = sent.size(); };

    w->close();
    media::setCommandObserver({});
    EXPECT_EQ(sent, (std::vector<std::string>{"stop lirovan", "close all"}));
    EXPECT_EQ(folderWrittenAt, (std::vector<bool>{true, true}));
    EXPECT_EQ(w.endCalls, 1);
    EXPECT_EQ(commandsAtEnd, 2u);
    EXPECT_EQ(w.settings(), QString(iniWithPath(restored.path())));

    w->close();
    EXPECT_EQ(w.endCalls, 1) << "the window unloads once";
}

TEST_F(StartAndEnd, EveryWayOfClosingUnloads) {
    {
        Start w(nullptr);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(213, 6));
        EXPECT_EQ(w.endCalls, 1) << "the close label";
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Start w(nullptr);
        onTerminationSignal(w.window.get(), [&w] { w->unload(); });  // as the program does
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
        ::raise(signal);
        // Qt Test's own checks would not fail a test here.
        ASSERT_TRUE(QTest::qWaitFor([&w] { return w.endCalls > 0; }, 10000)) << "signal " << signal;
        EXPECT_EQ(w.endCalls, 1) << "signal " << signal;
        EXPECT_FALSE(w.settings().isEmpty()) << "signal " << signal;
    }
}

TEST_F(StartAndEnd, ASignalWhileTheWindowIsBuiltEndsItThroughTheUnloadOnceItExists) {
    catchTerminationSignals();  // as the program does, before the window
    ::raise(SIGTERM);
    Start w(iniWithPath(restored.path()).constData());
    EXPECT_EQ(w.endCalls, 0);
    onTerminationSignal(w.window.get(), [&w] { w->unload(); });
    ASSERT_TRUE(QTest::qWaitFor([&w] { return w.endCalls > 0; }, 10000));
    EXPECT_EQ(w.endCalls, 1);
    EXPECT_EQ(w.settings(), QString(iniWithPath(restored.path()))) << "the load ran before the unload";
}

TEST_F(StartAndEnd, TheEndOfTheEventLoopUnloads) {
    Start w(nullptr);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(w.endCalls, 1);
    EXPECT_FALSE(w.settings().isEmpty());
}

TEST_F(StartAndEnd, PauseAndMuteAreNotRemembered) {
    {
        Start w(nullptr);
        w->Label6->setText("  play");
        w->Label4->setText(" un");
        w->close();
    }
    Start again(nullptr);
    EXPECT_EQ(again->Label6->text(), "  pause");
    EXPECT_EQ(again->Label4->text(), " m");
}
