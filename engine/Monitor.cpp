#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/ReplyDeadline.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"
#include "util/Checked16.h"

using Module1::MainForm;

namespace modQuendel_EmailClient {

namespace {
// Ticks keep coming while the "Email Sent" box is open; they wait for it.
bool MonitorBoxOpen = false;

bool CurrentSlotClosed()
{
    if (!MainForm->EmailSock->Exists(CurrentSlot))
        return false;
    return MainForm->EmailSock->operator()(CurrentSlot).State() == SocketState::Closed;
}

bool RunSucceeded()
{
    return ErrorCount == 0 && SentCount == Module1::MailCount;
}
} // namespace

void MonitorTick()
{
    if (MonitorBoxOpen)
        return;

    if (CurrentSlotClosed() && RunSucceeded()) {
        MonitorBoxOpen = true;
        MsgBox(QStringLiteral("Email Sent"), MsgBoxStyle::OkOnly);
        MonitorBoxOpen = false;
    }

    if (CheckedAdd16(SentCount, ErrorCount) == Module1::MailCount ||
        SentCount == Module1::MailCount)
        FinishMailRun();
}

void FinishMailRun()
{
    StepDone = true;
    MainForm->tmrEmail->setInterval(0);
    MainForm->tmrEmail->stop();
    StopReplyDeadline();
    UnloadSockets();
    // Every end of a run leaves the window ready for the next one.
    MainForm->UnlockFields();
    if (ErrorCount > 0)
        MsgBox(QStringLiteral("SMTP Error!"), MsgBoxStyle::OkOnly);
}

} // namespace modQuendel_EmailClient
