#include "app/frmMain.h"
#include "util/Colors.h"

// The window's side of WindowControls: each operation on the one control it names.

frmMain::~frmMain()
{
    Module1::ForgetWindow(this);
}

QLineEdit *frmMain::Box(Field field) const
{
    switch (field) {
    case Field::Message:
        return txtMessage;
    case Field::Email:
        return txtEmail;
    case Field::User:
        return txtUser;
    case Field::Pass:
        return txtPass;
    case Field::Server:
        return txtServer;
    }
    return txtMessage;
}

QString frmMain::FieldText(Field field) const
{
    return Box(field)->text();
}

void frmMain::SetFieldEnabled(Field field, bool enabled)
{
    Box(field)->setEnabled(enabled);
}

// A locked field takes the colour of a button face, as the desktop's theme has
// it, so that it looks grey; an open one is white.
void frmMain::ShowFieldLocked(Field field, bool locked)
{
    SetBackColor(Box(field), locked ? Colors::ButtonFace : Colors::White);
}

void frmMain::SetTestEnabled(bool enabled)
{
    cmdTest->setEnabled(enabled);
}

void frmMain::ParkFocus()
{
    txtOver->setFocus();
}

LogControl &frmMain::Log()
{
    return *rtbStatus;
}

QTimer &frmMain::MonitorTimer()
{
    return *tmrEmail;
}

SocketArray &frmMain::Sockets()
{
    return *EmailSock;
}
