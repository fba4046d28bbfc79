#include "engine/ReplyDeadline.h"

#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/UntrappedError.h"

#include <QPointer>
#include <QTimer>

namespace {
// One timer on the window, made when first needed.
QTimer *DeadlineTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(&Module1::MonitorTimer());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [] { Trapped(modQuendel_EmailClient::OnReplyTimeout); });
    }
    return timer;
}
} // namespace

void StartReplyDeadline(int milliseconds)
{
    DeadlineTimer()->start(milliseconds);
}

void StopReplyDeadline()
{
    DeadlineTimer()->stop();
}

int ReplyDeadlineMs()
{
    return DeadlineTimer()->interval();
}
