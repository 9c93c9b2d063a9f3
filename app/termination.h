// The program asked to end by a signal (SIGTERM, SIGINT, SIGHUP: a kill,
// Ctrl-C in the starting terminal, that terminal closing), turned into a call
// on the user-interface thread.
#pragma once

#include <QObject>
#include <functional>

// Installs the signal handlers (once). From then on a signal no longer ends
// the program by itself: it waits until onTerminationSignal names what to end,
// so one that comes while the window is still being built is not lost. Needs
// no QCoreApplication.
void catchTerminationSignals();

// Calls `end` on context's thread whenever one of the signals arrives, one
// that came before this call included, for as long as context lives. Catches
// the signals first if that was not done yet. Needs a running
// QCoreApplication.
void onTerminationSignal(QObject* context, std::function<void()> end);
