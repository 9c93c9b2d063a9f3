#include "termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only do async-signal-safe things: it writes one byte into a
// pipe, and the notifier on the other end wakes the event loop.
int wakePipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    static TerminationRequests& instance() {
        static auto* const requests = new TerminationRequests;
        return *requests;
    }

signals:
    void requested();

private:
    TerminationRequests() : QObject(QCoreApplication::instance()) {
        catchTerminationSignals();
        if (wakePipe[0] < 0) return;
        auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char drained[64];
            while (::read(wakePipe[0], drained, sizeof drained) > 0) {
            }
            emit requested();
        });
    }
};

}  // namespace

void catchTerminationSignals() {
    [[maybe_unused]] static const bool caught = [] {
        if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
        return true;
    }();
}

void onTerminationSignal(QObject* context, std::function<void()> end) {
    QObject::connect(&TerminationRequests::instance(), &TerminationRequests::requested, context,
                     std::move(end));
}

#include "termination.moc"
