#include "engine/ReplyDeadline.h"

#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/modQuendel_EmailClient.h"

#include <QPointer>
#include <QTimer>

namespace {
// One timer on the window, made when first needed.
QTimer *DeadlineTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(Module1::MainForm.data());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [] { modQuendel_EmailClient::OnReplyTimeout(); });
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

bool ReplyDeadlineActive()
{
    return DeadlineTimer()->isActive();
}
