#include "app/FieldCheck.h"
#include "app/frmMain.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"

void frmMain::cmdTest_Click()
{
    // The reply to QUIT unlocks Test up to one monitor tick before the run
    // has ended; a click in that gap must not start a run over the old one.
    if (tmrEmail->isActive())
        return;
    txtOver->setFocus();
    cmdTest->setEnabled(false);

    const QString fillError =
        FieldCheckError(txtMessage->text(), txtEmail->text(), txtServer->text());
    if (!fillError.isEmpty()) {
        MsgBox(fillError, MsgBoxStyle::Exclamation, QStringLiteral("Vormant"));
        cmdTest->setEnabled(true); // the user corrects the fields and tries again
        return;
    }

    modQuendel_EmailClient::StartRun({txtMessage->text(), txtEmail->text(), txtUser->text(),
                                      txtPass->text(), txtServer->text()});
}
