#include "app/frmMain.h"

#include "engine/modQuendel_EmailClient.h"
#include "platform/ProgramEnd.h"

#include <QCloseEvent>

void frmMain::cmdExit_Click()
{
    txtOver->setFocus();
    close(); // unloads the window, which runs the shut-down
}

// Every way of closing the window ends here.
void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void frmMain::Form_Unload()
{
    // Nothing is left for a waiting loop of the engine to wait for.
    modQuendel_EmailClient::StepDone = true;

    for (SocketElement *socket : findChildren<SocketElement *>())
        socket->Close();

    // Whatever waits further down the stack never resumes.
    EndProgram();
}
