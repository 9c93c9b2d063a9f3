// The request to end the program that arrives as a signal (SIGTERM, SIGINT,
// SIGHUP), turned into a Qt signal on the user-interface thread.
#pragma once

#include <QObject>

namespace controls {

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    // The one instance; the first call installs the signal handler, and needs
    // a running QCoreApplication for the notifier.
    static TerminationRequests& instance();

signals:
    void requested();

private:
    TerminationRequests();
};

}  // namespace controls
