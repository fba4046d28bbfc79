#include "app/FieldCheck.h"
#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"
#include "util/Colors.h"

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

    Module1::MailBody = txtMessage->text();
    Module1::MailTo[1] = txtEmail->text();
    Module1::SmtpUser = txtUser->text();
    Module1::SmtpPass = txtPass->text();
    Module1::SmtpServer = txtServer->text();
    Module1::MailCount = 1;
    Module1::MailSubject = QStringLiteral("Vormant");
    Module1::MailFrom = QStringLiteral("Admin");

    LockFields();

    rtbStatus->SetText(QString());
    rtbStatus->SetSelColor(Colors::White);
    rtbStatus->InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));

    modQuendel_EmailClient::SendMail();
}
