#include "util/Pause.h"

#include <QCoreApplication>

// The fuzzer's own pause, linked in place of the program's (the linker takes
// no member of a library for a function the target already has): the run's
// short wait before it connects would hold every run for a millisecond of
// real time, about as long as the rest of the run. The run is played without
// waiting for any timer, and the timers that may be pending then (the log's
// repaint hold) only need the event loop to run at some point, so handling
// the events that are pending is what matters of that wait here.
void Pause(double)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
