#include "engine/RunObject.h"

#include "engine/WindowControls.h"
#include "platform/UntrappedError.h"

QTimer &RunTimer(RunObject<QTimer> &timer, void (*onTimeout)())
{
    if (!timer) {
        auto *made = new QTimer(&Module1::MonitorTimer());
        made->setSingleShot(true);
        QObject::connect(made, &QTimer::timeout, made, [onTimeout] { Trapped(onTimeout); });
        timer = RunObject<QTimer>(made);
    }
    return *timer.get();
}
