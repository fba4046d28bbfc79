#include "app/frmMain.h"

#include "app/AccessibleForm.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/AccessibilityBus.h"
#include "platform/UntrappedError.h"
#include "printing/modPrinter.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    AccessibilityBus::Guard();
    InstallAccessibleForm();
    CreateControls();
    SetTabOrder();
    RouteEvents();
}

namespace {
// The handler of an event, called inside Trapped.
template <typename... Args> auto Routed(frmMain *form, void (frmMain::*handler)(Args...))
{
    return [form, handler](Args... args) { Trapped([&] { (form->*handler)(args...); }); };
}
} // namespace

void frmMain::RouteEvents()
{
    connect(cmdTest, &QPushButton::clicked, this, Routed(this, &frmMain::cmdTest_Click));
    connect(cmdExit, &QPushButton::clicked, this, Routed(this, &frmMain::cmdExit_Click));
    connect(Command1, &QPushButton::clicked, this, Routed(this, &frmMain::Command1_Click));
    connect(tmrEmail, &QTimer::timeout, this, Routed(this, &frmMain::tmrEmail_Timer));
    connect(EmailSock, &SocketArray::Connect, this, Routed(this, &frmMain::EmailSock_Connect));
    connect(EmailSock, &SocketArray::Encrypted, this, Routed(this, &frmMain::EmailSock_Encrypted));
    connect(EmailSock, &SocketArray::Close, this, Routed(this, &frmMain::EmailSock_Close));
    connect(EmailSock, &SocketArray::Error, this, Routed(this, &frmMain::EmailSock_Error));
    connect(EmailSock, &SocketArray::DataArrival, this,
            Routed(this, &frmMain::EmailSock_DataArrival));
    connect(EmailSock, &SocketArray::SendProgress, this,
            Routed(this, &frmMain::EmailSock_SendProgress));
}

void frmMain::Command1_Click()
{
    txtOver->setFocus();
    modPrinter::PrintLog(*rtbStatus, this);
}

void frmMain::tmrEmail_Timer()
{
    modQuendel_EmailClient::MonitorTick();
}

void frmMain::EmailSock_Connect(std::int16_t Index)
{
    modQuendel_EmailClient::OnSockConnect(Index);
}

void frmMain::EmailSock_Encrypted(std::int16_t Index)
{
    modQuendel_EmailClient::OnSockEncrypted(Index);
}

void frmMain::EmailSock_Close(std::int16_t Index)
{
    modQuendel_EmailClient::OnSockClose(Index);
}

void frmMain::EmailSock_Error(std::int16_t Index, QAbstractSocket::SocketError Error,
                              const QString &Description)
{
    modQuendel_EmailClient::OnSockError(Index, Error, Description);
}

void frmMain::EmailSock_DataArrival(std::int16_t Index)
{
    modQuendel_EmailClient::OnSockDataArrival(Index);
}

void frmMain::EmailSock_SendProgress(std::int16_t Index, std::int32_t bytesSent)
{
    modQuendel_EmailClient::OnSockSendProgress(bytesSent, Index);
}
