#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/ReplyDeadline.h"
#include "engine/modQuendel_EmailClient.h"
#include "util/Colors.h"

using Module1::MainForm;

namespace modQuendel_EmailClient {

void EndDialogue(std::int16_t Index)
{
    if (MainForm->EmailSock->Exists(Index))
        MainForm->EmailSock->operator()(Index).Close();

    // Once QUIT has gone out the server has accepted the message: whatever
    // ends the connection now, the slot was sent.
    if (SmtpStep == 9) {
        MarkSlotSent(Index);
        MainForm->UnlockFields();
    } else {
        MarkSlotError(Index);
    }
}

void OnSockError(std::int16_t Index)
{
    if (SmtpStep == 9 && Index >= 1 && Index <= 100 && !SlotEnded[std::size_t(Index)])
        EndDialogue(Index);
    else
        MarkSlotError(Index);
}

void OnReplyTimeout()
{
    const std::int16_t Index = CurrentSlot;
    if (Index < 1 || Index > 100 || SlotEnded[std::size_t(Index)])
        return;
    // What the server did send of a reply it never finished is still shown.
    if (!Reply.IsEmpty()) {
        MainForm->rtbStatus->SetSelColor(Colors::Yellow);
        MainForm->rtbStatus->InsertText(Reply.TakeAll() + QStringLiteral("\r\n"));
    }
    EndDialogue(Index);
}

} // namespace modQuendel_EmailClient
