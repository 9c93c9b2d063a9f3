// The program asked to end by a signal (SIGTERM, SIGINT, SIGHUP: a kill,
// Ctrl-C in the starting terminal, that terminal closing), turned into a call
// on the user-interface thread.
#pragma once

#include <QObject>
#include <functional>

// Installs the signal handlers (once) and calls `end` on context's thread
// whenever one of the signals arrives, for as long as context lives. Needs a
// running QCoreApplication.
void onTerminationSignal(QObject* context, std::function<void()> end);
