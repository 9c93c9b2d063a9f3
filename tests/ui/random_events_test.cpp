// Thousands of seeded random pointer events over every part of the window, as
// the window system delivers them, against a folder of playable, cut, broken
// and empty MP3 files, with real playback into capture outputs; now and then
// the folders change under the window. After every event the window's state
// must still be one it can be in.
//
// VELMYR_RANDOM_SEED and VELMYR_RANDOM_EVENTS override the seed and the count.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <deque>
#include <map>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <sstream>

#include "output_watch.h"
#include "window_harness.h"

using namespace velmyr_test;
using namespace std::chrono_literals;

namespace {

constexpr unsigned long long kDefaultSeed = 20261207;
constexpr unsigned long long kDefaultEvents = 10000;

unsigned long long fromEnvironment(const char* name, unsigned long long fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    return std::strtoull(text, nullptr, 0);
}

std::string describe(QPoint p) { return "(" + std::to_string(p.x()) + "," + std::to_string(p.y()) + ")"; }

const char* buttonName(Qt::MouseButton b) { return b == Qt::LeftButton ? "left" : "right"; }

class RandomEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        const QString r = root.path();
        makeEntries(r, {"a/", "a/sub/", "b/", "b/c/", "empty/", "a/notes.txt", "a/empty.mp3"});
        const QString fixtures = QStringLiteral(VELMYR_FIXTURES_DIR);
        const std::pair<const char*, const char*> copies[] = {
            {"tone440.mp3", "a/tone440.mp3"},     {"tone660.mp3", "a/tone660.mp3"},
            {"tone880.mp3", "a/tone880.mp3"},     {"truncated880.mp3", "a/truncated880.mp3"},
            {"bigtag660.mp3", "a/bigtag660.mp3"}, {"tone440.mp3", "a/with blank.mp3"},
            {"tone660.mp3", "a/UPPER.MP3"},       {"tone880.mp3", "a/sub/deeper.mp3"},
            {"tone660.mp3", "b/tone660.mp3"},     {"tone440.mp3", "b/c/tone440.mp3"}};
        for (const auto& [from, to] : copies)
            ASSERT_TRUE(QFile::copy(fixtures + u'/' + from, r + u'/' + to)) << to;
        writeFile(r + "/a/broken.mp3", randomBytes(4096));
        writeFile(r + "/b/broken.mp3", randomBytes(300));
        writeFile(r + "/a/text.mp3", "not audio at all\n");

        folders = {r,
                   r + "/a",
                   r + "/a/sub",
                   r + "/b",
                   r + "/b/c",
                   r + "/empty",
                   r + "/b.moved",
                   r + "/missing",
                   r + "/a/notes.txt"};
        w->Dir1->setPath(r + "/a");
        ASSERT_TRUE(w.show());
        // A right click on a list's scroll bar opens its menu and waits in it
        // for the user; the user here closes it at once.
        QObject::connect(&menuCloser, &QTimer::timeout, [this] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                menu->close();
                ++menusClosed;
            }
        });
        menuCloser.start(20);
        // The five white labels of the start are no hover: the first move
        // over the surface puts all seven to rest.
        w.moveTo(QPoint(205, 100));
    }

    static QByteArray randomBytes(int size) {
        std::mt19937 bytes(7);
        QByteArray data(size, '\0');
        for (char& c : data) c = char(bytes() & 0xff);
        return data;
    }
    static void writeFile(const QString& path, const QByteArray& data) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    int pick(int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    Qt::MouseButton someButton() { return chance(80) ? Qt::LeftButton : Qt::RightButton; }

    // A random point of a control, in the window's coordinates. The title
    // label's ends lie under the minimize and close labels: points there
    // belong to those.
    QPoint inside(QWidget* control) {
        if (control == w->Label1) return w.at(control, QPoint(10 + pick(186), pick(control->height())));
        return w.at(control, QPoint(pick(control->width()), pick(control->height())));
    }

    QPoint fileListPoint(std::string& what) {
        auto* list = w->File1;
        const int count = list->ListCount();
        if (count == 0 || chance(8)) {
            what = "below the entries";
            return list->viewport()->mapTo(w.window.get(), QPoint(5, list->viewport()->height() - 2));
        }
        const int row = pick(count);
        list->scrollTo(list->model()->index(row, 0));
        what = "row " + std::to_string(row);
        return w.fileRow(row);
    }

    // An entry of the folder list; to open, only the folders of the fixture,
    // so the walk stays there.
    QPoint folderListPoint(bool toOpen, std::string& what) {
        auto* dirs = w->Dir1;
        std::vector<int> rows;
        for (int row = 0; row < dirs->count(); ++row)
            if (!toOpen ||
                dirs->item(row)->data(controls::DirListBox::PathRole).toString().startsWith(root.path()))
                rows.push_back(row);
        if (rows.empty()) rows.push_back(0);
        QListWidgetItem* entry = dirs->item(rows[size_t(pick(int(rows.size())))]);
        dirs->scrollToItem(entry);
        what = "entry " + entry->text().toStdString();
        return dirs->viewport()->mapTo(w.window.get(), dirs->visualItemRect(entry).center());
    }

    // Labels that take clicks; the close label would end the program.
    std::vector<std::pair<const char*, controls::EventLabel*>> clickableLabels() {
        return {{"Label1", w->Label1}, {"Label2", w->Label2}, {"Label4", w->Label4},
                {"Label5", w->Label5}, {"Label6", w->Label6}, {"Label7", w->Label7},
                {"Label8", w->Label8}, {"Label9", w->Label9}, {"Label10", w->Label10}};
    }
    std::vector<std::pair<const char*, QWidget*>> everyControl() {
        return {{"Dir1", w->Dir1},     {"File1", w->File1},   {"Label1", w->Label1}, {"Label2", w->Label2},
                {"Label3", w->Label3}, {"Label4", w->Label4}, {"Label5", w->Label5}, {"Label6", w->Label6},
                {"Label7", w->Label7}, {"Label8", w->Label8}, {"Label9", w->Label9}, {"Label10", w->Label10}};
    }

    // One random event; returns what it was. Sets `broken` when the event's
    // own effect is wrong.
    std::string randomEvent(std::string& broken) {
        QWindow* window = w.handle();
        const int kind = pick(100);
        std::ostringstream what;
        if (kind < 20) {
            const QPoint p(pick(w->width()), pick(w->height()));
            QTest::mouseMove(window, p);
            what << "move to " << describe(p);
        } else if (kind < 45) {
            const auto controls = everyControl();
            const auto& [name, control] = controls[size_t(pick(int(controls.size())))];
            const QPoint p = inside(control);
            QTest::mouseMove(window, p);
            what << "move over " << name << " at " << describe(p);
        } else if (kind < 70) {
            const bool twice = kind >= 65;
            const auto labels = clickableLabels();
            const auto& [name, label] = labels[size_t(pick(int(labels.size())))];
            const QPoint p = inside(label);
            const Qt::MouseButton b = someButton();
            if (twice)
                QTest::mouseDClick(window, b, {}, p);
            else
                QTest::mouseClick(window, b, {}, p);
            what << (twice ? "double-click " : "click ") << buttonName(b) << " on " << name << " at "
                 << describe(p);
        } else if (kind < 84) {
            const bool twice = kind >= 76;
            std::string entry;
            const QPoint p = fileListPoint(entry);
            const Qt::MouseButton b = chance(85) ? Qt::LeftButton : Qt::RightButton;
            if (twice)
                QTest::mouseDClick(window, b, {}, p);
            else
                QTest::mouseClick(window, b, {}, p);
            what << (twice ? "double-click " : "click ") << buttonName(b) << " on File1 " << entry;
        } else if (kind < 92) {
            const bool twice = kind >= 87;
            std::string entry;
            const QPoint p = folderListPoint(twice, entry);
            const Qt::MouseButton b = chance(85) ? Qt::LeftButton : Qt::RightButton;
            if (twice)
                QTest::mouseDClick(window, b, {}, p);
            else
                QTest::mouseClick(window, b, {}, p);
            what << (twice ? "double-click " : "click ") << buttonName(b) << " on Dir1 " << entry;
        } else if (kind < 95) {
            const QString folder = folders[size_t(pick(int(folders.size())))];
            w->Dir1->setPath(folder);
            what << "folder set to " << folder.mid(root.path().size()).toStdString();
        } else if (kind < 98) {
            // The pointer goes and comes back, so the window ends where it was.
            const QPoint before = w->pos();
            const QPoint pressAt = inside(w->Label1);
            const QPoint pressGlobal = w->mapToGlobal(pressAt);
            const Qt::MouseButton b = someButton();
            QTest::mousePress(window, b, {}, pressAt);
            const int steps = 1 + pick(3);
            for (int i = 0; i < steps; ++i) {
                // There and back, both ends within the window, where the test
                // can deliver them; a pointer outside is the title bar test's.
                const int reachX = std::min(pressAt.x(), w->width() - 1 - pressAt.x());
                const int reachY = std::min(pressAt.y(), w->height() - 1 - pressAt.y());
                const QPoint step(std::clamp(pick(61) - 30, -reachX, reachX),
                                  std::clamp(pick(61) - 30, -reachY, reachY));
                QTest::mouseMove(window, w->mapFromGlobal(pressGlobal + step));
                QTest::mouseMove(window, w->mapFromGlobal(pressGlobal));
            }
            QTest::mouseRelease(window, b, {}, w->mapFromGlobal(pressGlobal));
            what << "drag with " << buttonName(b) << " from Label1 at " << describe(pressAt) << " in "
                 << steps << " steps and back";
            if (w->pos() != before)
                broken = "the window did not come back to " + describe(before) + ": " + describe(w->pos());
        } else if (kind < 99) {
            what << changeTheFolders();
        } else {
            const QPoint p(pick(w->width()), pick(w->height()));
            if (!w->Label3->geometry().contains(p)) {
                QTest::mouseClick(window, someButton(), {}, p);
                what << "click at " << describe(p);
            } else {
                what << "nothing (the close label)";
            }
        }
        if (w->WindowState() == frmVELMYR::Minimized) {
            // The window system's restore.
            w->showNormal();
            what << ", minimized and restored";
            if (w->WindowState() != frmVELMYR::Normal) broken = "the window was not restored";
        }
        QCoreApplication::processEvents();
        return what.str();
    }

    // Something else changes the folders under the window: a folder renamed
    // or deleted, a file deleted, cut short or written anew, perhaps while it
    // plays.
    std::string changeTheFolders() {
        const QString r = root.path();
        const QString fixtures = QStringLiteral(VELMYR_FIXTURES_DIR);
        QDir dir(r);
        switch (pick(4)) {
        case 0:
            if (dir.exists("b")) {
                dir.rename("b", "b.moved");
                return "folder b renamed";
            }
            dir.rename("b.moved", "b");
            return "folder b back";
        case 1:
            if (dir.exists("b/c")) {
                QDir(r + "/b/c").removeRecursively();
                return "folder b/c deleted";
            }
            dir.mkpath("b/c");
            QFile::copy(fixtures + "/tone440.mp3", r + "/b/c/tone440.mp3");
            return "folder b/c made anew";
        case 2:
            if (QFile::remove(r + "/a/tone660.mp3")) return "file a/tone660.mp3 deleted";
            QFile::copy(fixtures + "/tone660.mp3", r + "/a/tone660.mp3");
            return "file a/tone660.mp3 made anew";
        default: {
            QFile file(r + "/a/tone880.mp3");
            if (file.size() > 10000) {
                file.resize(10000);
                return "file a/tone880.mp3 cut short";
            }
            QFile original(fixtures + "/tone880.mp3");
            if (original.open(QIODevice::ReadOnly) && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(original.readAll());
            return "file a/tone880.mp3 written anew";
        }
        }
    }

    // What must hold after every event; empty when it does.
    std::string brokenInvariant() {
        const QString pause = w->Label6->text();
        if (pause != QLatin1String("  pause") && pause != QLatin1String("  play"))
            return "pause caption \"" + pause.toStdString() + "\"";
        const QString mute = w->Label4->text();
        if (mute != QLatin1String(" m") && mute != QLatin1String(" un"))
            return "mute caption \"" + mute.toStdString() + "\"";
        std::string lit;
        int litCount = 0;
        const std::pair<const char*, controls::EventLabel*> hoverLabels[] = {
            {"Label4", w->Label4}, {"Label5", w->Label5}, {"Label6", w->Label6},  {"Label7", w->Label7},
            {"Label8", w->Label8}, {"Label9", w->Label9}, {"Label10", w->Label10}};
        for (const auto& [name, label] : hoverLabels)
            if (label->ForeColor() == frmVELMYR::HoverColor()) {
                lit += std::string(" ") + name;
                ++litCount;
            }
        if (litCount > 1) return "more than one label lit:" + lit;
        static const QRegularExpression status(
            QStringLiteral("^\\((\\d{1,5})\\) (MP3 files in this directory|mp3's in this dir)$"));
        const auto match = status.match(w->Label10->text());
        if (!match.hasMatch() || match.captured(1).toInt() > 32767)
            return "status line \"" + w->Label10->text().toStdString() + "\"";
        if (!outputs.settlesToOneOutputPerOpenDevice(10s))
            return "outputs alive: " + std::to_string(outputs.live()) +
                   (OutputWatch::aliasOpen() ? ", one device open" : ", no device open");
        return {};
    }

    // How often each handler's event was raised, to show the events reach
    // every control.
    std::map<std::string, int> raised;
    void countRaisedEvents() {
        const std::pair<const char*, controls::EventLabel*> clicked[] = {
            {"Label2 click", w->Label2}, {"Label4 click", w->Label4}, {"Label5 click", w->Label5},
            {"Label6 click", w->Label6}, {"Label7 click", w->Label7}, {"Label8 click", w->Label8},
            {"Label9 click", w->Label9}};
        for (const auto& [name, label] : clicked)
            QObject::connect(label, &controls::EventLabel::Click, [this, name = name] { ++raised[name]; });
        QObject::connect(w->Label1, &controls::EventLabel::MouseDown,
                         [this] { ++raised["Label1 mouse-down"]; });
        QObject::connect(w->Dir1, &controls::DirListBox::Change, [this] { ++raised["Dir1 change"]; });
        QObject::connect(w->File1, &controls::FileListBox::DblClick,
                         [this] { ++raised["File1 double-click"]; });
        QObject::connect(w.window.get(), &controls::FormWindow::MouseMove,
                         [this] { ++raised["window move"]; });
        QObject::connect(w.window.get(), &controls::FormWindow::Paint, [this] { ++raised["window paint"]; });
    }

    QTimer menuCloser;
    int menusClosed = 0;
    QTemporaryDir root;
    std::vector<QString> folders;
    std::mt19937_64 rng;
    OutputWatch outputs;  // outlives the window, whose devices it counts
    WindowUnderTest w;
};

}  // namespace

TEST_F(RandomEvents, EveryStateAfterEachEventIsOneTheWindowCanBeIn) {
    const unsigned long long seed = fromEnvironment("VELMYR_RANDOM_SEED", kDefaultSeed);
    const unsigned long long events = fromEnvironment("VELMYR_RANDOM_EVENTS", kDefaultEvents);
    std::cout << "random events: seed " << seed << ", " << events << " events" << std::endl;
    rng.seed(seed);
    ASSERT_EQ(brokenInvariant(), "");
    countRaisedEvents();

    const auto started = std::chrono::steady_clock::now();
    std::deque<std::string> last;
    for (unsigned long long i = 0; i < events; ++i) {
        std::string broken;
        last.push_back("#" + std::to_string(i) + " " + randomEvent(broken));
        if (last.size() > 12) last.pop_front();
        if (broken.empty()) broken = brokenInvariant();
        if (!broken.empty()) {
            std::ostringstream trail;
            for (const std::string& e : last) trail << "\n  " << e;
            FAIL() << broken << "\nseed " << seed << ", event " << i << "; the last events:" << trail.str();
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "random events: " << events << " in " << seconds << " s, " << outputs.made()
              << " devices opened" << std::endl;
    for (const auto& [event, count] : raised) std::cout << "  " << event << ": " << count << std::endl;
    std::cout << "  scroll bar menus opened and closed: " << menusClosed << std::endl;
    if (events >= 1000) {
        // A slip in the test's geometry would leave controls untouched.
        EXPECT_EQ(raised.size(), 12u) << "some control never raised its event";
        EXPECT_GT(outputs.made(), 0);
    }
}
