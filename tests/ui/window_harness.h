// What the window tests share: a window built as the program builds it, with
// its settings in a temporary folder and an end of program that only records;
// a recorder of the media commands; folders of files to browse.
#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls/mouse_args.h"
#include "platform/media/test_hooks.h"
#include "ui/frmVELMYR.h"

namespace velmyr_test {

// Every command text the media layer receives while it lives.
class CommandRecorder {
public:
    CommandRecorder() {
        media::setCommandObserver([this](const std::string& command) {
            std::lock_guard lock(mutex_);
            commands_.push_back(command);
        });
    }
    ~CommandRecorder() { media::setCommandObserver({}); }
    CommandRecorder(const CommandRecorder&) = delete;
    CommandRecorder& operator=(const CommandRecorder&) = delete;

    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(commands_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> commands_;
};

inline std::vector<std::string> playCommands(const std::string& shortPath) {
    return {"stop lirovan", "close lirovan", "open " + shortPath + " type mpegvideo alias lirovan",
            "play lirovan"};
}

// Creates (empty) files, and folders for names ending in "/", under root.
inline void makeEntries(const QString& root, const QStringList& names) {
    for (const QString& name : names) {
        if (name.endsWith(u'/')) {
            QDir().mkpath(root + u'/' + name);
        } else {
            QFile file(root + u'/' + name);
            file.open(QIODevice::WriteOnly);
        }
    }
}

struct WindowUnderTest {
    QTemporaryDir programFolder;
    int endCalls = 0;
    std::unique_ptr<frmVELMYR> window;

    // With bus names, the window answers as the desktop's player controls, as
    // in the program.
    explicit WindowUnderTest(std::optional<frmVELMYR::Options::BusNames> desktopControls = std::nullopt) {
        frmVELMYR::Options options;
        options.programFolder = programFolder.path();
        options.endProgram = [this] { ++endCalls; };
        options.desktopControls = std::move(desktopControls);
        window = std::make_unique<frmVELMYR>(options);
    }
    frmVELMYR* operator->() { return window.get(); }
    frmVELMYR& operator*() { return *window; }

    bool show() {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    QWindow* handle() { return window->windowHandle(); }

    // A point of a control in the window's coordinates.
    QPoint at(QWidget* control, QPoint local = {3, 3}) { return control->mapTo(window.get(), local); }

    // Realistic delivery through the native window.
    void click(QWidget* control, QPoint local = {3, 3}) {
        QTest::mouseClick(handle(), Qt::LeftButton, {}, at(control, local));
    }
    void doubleClick(QWidget* control, QPoint local = {3, 3}) {
        QTest::mouseDClick(handle(), Qt::LeftButton, {}, at(control, local));
    }
    // A move to where the pointer already is would be dropped as no move, so
    // the pointer first comes from the pixel beside the target.
    void moveOver(QWidget* control, QPoint local = {3, 3}) { moveTo(at(control, local)); }
    void moveTo(QPoint windowPoint) {
        QTest::mouseMove(handle(), windowPoint + QPoint(1, 0));
        QTest::mouseMove(handle(), windowPoint);
    }

    // The middle of an entry of the file list, in the window's coordinates.
    QPoint fileRow(int row) {
        const QRect entry = window->File1->visualRect(window->File1->model()->index(row, 0));
        return window->File1->viewport()->mapTo(window.get(), entry.center());
    }
};

}  // namespace velmyr_test
