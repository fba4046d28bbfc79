#include "engine/ReplyDeadline.h"

#include "engine/RunState.h"
#include "engine/modQuendel_EmailClient.h"

namespace {
QTimer &DeadlineTimer()
{
    using namespace modQuendel_EmailClient;
    return RunTimer(Run.ReplyDeadline, OnReplyTimeout);
}
} // namespace

void StartReplyDeadline(int milliseconds)
{
    DeadlineTimer().start(milliseconds);
}

void StopReplyDeadline()
{
    DeadlineTimer().stop();
}

int ReplyDeadlineMs()
{
    return DeadlineTimer().interval();
}
