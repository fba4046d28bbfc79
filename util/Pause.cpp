#include "util/Pause.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>

void Pause(double Seconds)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 deadlineNs = std::llround(std::max(0.0, Seconds) * 1e9);

    // Wakes the event loop when the deadline falls due, so that waiting for
    // more events never sleeps past it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);

    // Only a reading past the deadline ends the wait; the test comes first.
    while (clock.nsecsElapsed() <= deadlineNs) {
        const qint64 remainingNs = deadlineNs - clock.nsecsElapsed();
        wake.start(int(std::max<qint64>(1, (remainingNs + 999'999) / 1'000'000)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
