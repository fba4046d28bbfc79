#include "app/frmMain.h"

#include "app/AccessibleForm.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/AccessibilityBus.h"
#include "printing/modPrinter.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    AccessibilityBus::Guard();
    InstallAccessibleForm();
    CreateControls();
    SetTabOrder();
    RouteEvents();
}

void frmMain::RouteEvents()
{
    connect(cmdTest, &QPushButton::clicked, this, &frmMain::cmdTest_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(tmrEmail, &QTimer::timeout, this, &frmMain::tmrEmail_Timer);
    connect(EmailSock, &SocketArray::Connect, this, &frmMain::EmailSock_Connect);
    connect(EmailSock, &SocketArray::Encrypted, this, &frmMain::EmailSock_Encrypted);
    connect(EmailSock, &SocketArray::Close, this, &frmMain::EmailSock_Close);
    connect(EmailSock, &SocketArray::Error, this, &frmMain::EmailSock_Error);
    connect(EmailSock, &SocketArray::DataArrival, this,
            [this](std::int16_t Index, std::int32_t) { EmailSock_DataArrival(Index); });
    connect(EmailSock, &SocketArray::SendProgress, this,
            [this](std::int16_t Index, std::int32_t bytesSent, std::int32_t) {
                EmailSock_SendProgress(Index, bytesSent);
            });
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
