#include "app/WindowParts.h"

#include "app/Module1.h"
#include "app/frmMain.h"

namespace Module1 {

SocketArray &Sockets()
{
    return *MainForm->EmailSock;
}

StatusLog &Log()
{
    return *MainForm->rtbStatus;
}

QTimer &MonitorTimer()
{
    return *MainForm->tmrEmail;
}

void UnlockWindow()
{
    MainForm->UnlockFields();
}

QWidget *WindowOwner()
{
    return MainForm.data();
}

} // namespace Module1
