#include <QApplication>
#include <chrono>
#include <cstdlib>

#include "platform/media/media_layer.h"
#include "termination.h"
#include "ui/frmVELMYR.h"

namespace {

// The window has unloaded: playback stopped and every device closed. An
// output stuck in its driver is not waited for beyond a moment.
[[noreturn]] void endTheProgram() {
    media::shutdown(std::chrono::milliseconds(300));
    std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    // However the program is asked to end, the window unloads first, also when
    // asked while it is still being built and loaded.
    catchTerminationSignals();
    media::identifyProgram("Quillmere Mp3 Player", "velmyr", "velmyr");
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VELMYR_VERSION_STRING));
    frmVELMYR::Options options;
    options.endProgram = endTheProgram;
    options.desktopControls = true;
    frmVELMYR window(options);
    onTerminationSignal(&window, [&window] { window.unload(); });
    window.show();
    return app.exec();
}
