#include <QApplication>
#include <QByteArray>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/desktop/MediaControls.h"
#include "platform/desktop/file_uri.h"
#include "platform/media/media_layer.h"
#include "termination.h"
#include "ui/frmVELMYR.h"

namespace {

const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.velmyr");
// Long enough for a copy that runs to answer, short enough that a start from
// the file manager never seems to hang.
constexpr std::chrono::milliseconds kHandoverLimit(800);

// The window has unloaded: playback stopped and every device closed. An
// output stuck in its driver is not waited for beyond a moment.
[[noreturn]] void endTheProgram() {
    media::shutdown(std::chrono::milliseconds(300));
    std::_Exit(0);
}

// The first argument left after Qt's own options that is a folder or an MP3
// file, as a full path: a copy that runs elsewhere may be handed it. The path
// the user gave, links and all, is the one shown, played and remembered. When
// there are arguments and none is, one line says so and the program starts as
// without them.
std::optional<std::string> pathToOpen(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string path = desktop::normalPath(argv[i]);
        if (desktop::isFolderOrMp3(path)) return path;
    }
    if (argc > 1) std::fprintf(stderr, "velmyr: %s: no such folder or MP3 file\n", argv[1]);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    // Before the window is built, so that a signal while it is built unloads it too.
    catchTerminationSignals();
    media::identifyProgram("Quillmere Mp3 Player", "velmyr", "velmyr");
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VELMYR_VERSION_STRING));
    const std::optional<std::string> path = pathToOpen(argc, argv);
    if (path && desktop::handToRunningCopy(kBusName, *path, kHandoverLimit)) return 0;
    frmVELMYR::Options options;
    options.endProgram = endTheProgram;
    options.desktopControls = frmVELMYR::Options::BusNames{kBusName, QStringLiteral("/org/velmyr/track/")};
    frmVELMYR window(options);
    onTerminationSignal(&window, [&window] { window.unload(); });
    if (path) window.OpenPath(QByteArray::fromStdString(*path));
    window.show();
    return app.exec();
}
