#include "engine/MxLookup.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunInput.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"
#include "platform/SocketArray.h"
#include "util/Checked16.h"

#include <QTimer>

using Module1::Sockets;

namespace modQuendel_EmailClient {

namespace {
bool CurrentSlotClosed()
{
    if (!Sockets().Exists(CurrentSlot))
        return false;
    return Sockets()(CurrentSlot).State() == SocketState::Closed;
}

bool RunSucceeded()
{
    return ErrorCount == 0 && SentCount == Module1::MailCount;
}
} // namespace

void MonitorTick()
{
    if (Run.MonitorBoxOpen || MxLookup::Pending())
        return;

    if (CurrentSlotClosed() && RunSucceeded()) {
        Run.MonitorBoxOpen = true;
        MsgBox(QStringLiteral("Email Sent"), MsgBoxStyle::OkOnly);
        Run.MonitorBoxOpen = false;
    }

    if (CheckedAdd16(SentCount, ErrorCount) == Module1::MailCount ||
        SentCount == Module1::MailCount)
        FinishMailRun();
}

void FinishMailRun()
{
    StepDone = true;
    Module1::MonitorTimer().setInterval(0);
    Module1::MonitorTimer().stop();
    StopReplyDeadline();
    UnloadSockets();
    // Every end of a run leaves the window ready for the next one.
    Module1::UnlockWindow();
    if (ErrorCount > 0)
        MsgBox(QStringLiteral("SMTP Error!"), MsgBoxStyle::OkOnly);
}

} // namespace modQuendel_EmailClient
