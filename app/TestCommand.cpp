#include "app/TestCommand.h"

#include "app/FieldCheck.h"
#include "app/frmMain.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"

#include <QTimer>

void frmMain::cmdTest_Click()
{
    TestClick(*this);
}

void TestClick(WindowControls &window)
{
    using Field = WindowControls::Field;
    // The reply to QUIT unlocks Test up to one monitor tick before the run
    // has ended; a click in that gap must not start a run over the old one.
    if (window.MonitorTimer().isActive())
        return;
    window.ParkFocus();
    window.SetTestEnabled(false);

    const QString fillError =
        FieldCheckError(window.FieldText(Field::Message), window.FieldText(Field::Email),
                        window.FieldText(Field::Server));
    if (!fillError.isEmpty()) {
        MsgBox(fillError, MsgBoxStyle::Exclamation, QStringLiteral("Vormant"));
        window.SetTestEnabled(true); // the user corrects the fields and tries again
        return;
    }

    modQuendel_EmailClient::StartRun({window.FieldText(Field::Message),
                                      window.FieldText(Field::Email), window.FieldText(Field::User),
                                      window.FieldText(Field::Pass),
                                      window.FieldText(Field::Server)});
}
