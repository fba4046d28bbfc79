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

void OnReplyTimeout()
{
    const std::int16_t Index = CurrentSlot;
    if (Index < 1 || Index > 100 || SlotEnded[std::size_t(Index)])
        return;
    EndDialogue(Index);
}

} // namespace modQuendel_EmailClient
