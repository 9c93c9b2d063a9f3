// Benchmarks of the window: opening a large folder in the file list, and the
// cost of one hover handler run. Each prints its figure beside a baseline
// measured in the same run, and the ratio.
//
//   QT_QPA_PLATFORM=offscreen velmyr_bench_window
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <vector>

#include "platform/controls/FileListBox.h"
#include "ui/frmVELMYR.h"

namespace {

template <typename Work>
double medianMs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The least a listing can do: read the folder's names and sort them.
std::size_t plainSortedScan(const QString& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names.size();
}

void benchFolderOpen() {
    constexpr int Files = 10000;
    QTemporaryDir folder;
    for (int i = 0; i < Files; ++i) {
        // Mixed case, so that matching and sorting without regard to case work.
        const QString name = QStringLiteral("%1 Track %2.%3")
                                 .arg(i % 7 ? "artist" : "ARTIST")
                                 .arg((i * 7919) % Files, 5, 10, QLatin1Char('0'))
                                 .arg(i % 3 ? "mp3" : "MP3");
        QFile(folder.path() + u'/' + name).open(QIODevice::WriteOnly);
    }

    controls::FileListBox list;
    list.resize(169, 72);
    list.show();
    if (!QTest::qWaitForWindowExposed(&list)) std::printf("the list was never shown\n");
    int count = 0;
    const double listMs = medianMs(21, [&] {
        list.setPath(folder.path());
        count = list.ListCount();
        QCoreApplication::processEvents();  // the view lays out and paints
        list.setPath(QDir::tempPath() + "/velmyr-bench-none");
    });
    std::size_t scanned = 0;
    const double scanMs = medianMs(21, [&] { scanned = plainSortedScan(folder.path()); });
    std::printf("open a folder of %d MP3 files (path set to list ready, %d listed): %.2f ms\n", Files, count,
                listMs);
    std::printf("  baseline, plain sorted scan of the same folder (%zu names): %.2f ms\n", scanned, scanMs);
    std::printf("  ratio %.2f (target at most 3)\n", listMs / scanMs);
}

void benchHover() {
    QTemporaryDir programFolder;
    frmVELMYR::Options options;
    options.programFolder = programFolder.path();
    options.endProgram = [] {};
    frmVELMYR window(options);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::printf("the window was never shown\n");

    using Handler = void (frmVELMYR::*)(short, short, float, float);
    const Handler buttonRow[] = {&frmVELMYR::Label9_MouseMove, &frmVELMYR::Label5_MouseMove,
                                 &frmVELMYR::Label6_MouseMove, &frmVELMYR::Label7_MouseMove,
                                 &frmVELMYR::Label8_MouseMove, &frmVELMYR::Label4_MouseMove};
    constexpr int Events = 12000;
    auto perEventUs = [&](auto oneEvent) {
        return medianMs(5,
                        [&] {
                            for (int i = 0; i < Events; ++i) {
                                oneEvent(i);
                                QCoreApplication::processEvents();  // the repaint it causes
                            }
                        }) *
               1000 / Events;
    };

    // Every event crosses from the play label to the mute label or back: two
    // colours change and the wording of the status line changes.
    const double crossingUs = perEventUs([&](int i) {
        (window.*(i % 2 ? &frmVELMYR::Label4_MouseMove : &frmVELMYR::Label5_MouseMove))(0, 0, 10, 10);
    });
    // A sweep along the button row, ten moves over each label.
    const double sweepUs =
        perEventUs([&](int i) { (window.*buttonRow[(i / 10) % std::size(buttonRow)])(0, 0, 10, 10); });
    const QString texts[] = {QStringLiteral("(0) mp3's in this dir"),
                             QStringLiteral("(0) MP3 files in this directory")};
    const double plainUs = perEventUs([&](int i) { window.Label10->QLabel::setText(texts[i % 2]); });

    std::printf("one mouse-move handler run (7 colours, 1 caption) with the repaint it causes:\n");
    std::printf("  crossing between two labels at every event: %.2f us\n", crossingUs);
    std::printf("  sweeping the button row, 10 events per label: %.2f us (target under 20 us)\n", sweepUs);
    std::printf("  baseline, QLabel::setText changing the same text, with its repaint: %.2f us\n", plainUs);
    std::printf("  ratio crossing/baseline %.2f, sweep/baseline %.2f\n", crossingUs / plainUs,
                sweepUs / plainUs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchFolderOpen();
    benchHover();
    return 0;
}
