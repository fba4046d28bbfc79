#pragma once

#include "engine/WindowControls.h"
#include "platform/SocketArray.h"
#include "platform/StatusLog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>

// The one window: the five input fields of a test, Test, Exit and Print, the
// status log and its caption bar, the focus-parking box, the monitor timer and
// the socket array. Its handlers only hand each event on; the engine and
// printing reach its controls through WindowControls alone.
class frmMain : public QWidget, public WindowControls
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    void CentreOnScreen();

    // The five fields disabled and grey while a run is on.
    void LockFields();
    // Test and the five fields enabled again, the fields white.
    void UnlockFields();

    QGroupBox *fraMessage;
    QLabel *Label5;
    QLineEdit *txtMessage;
    QPushButton *cmdTest;
    QLabel *Label4;
    QLineEdit *txtEmail;
    QPushButton *cmdExit;
    QLabel *Label1;
    QLineEdit *txtUser;
    QLabel *Label2;
    QLineEdit *txtPass;
    QPushButton *Command1;
    QLabel *Label3;
    QLineEdit *txtServer;
    QLabel *Label6;

    QLabel *lblStatus;
    StatusLog *rtbStatus;
    QLineEdit *txtOver;
    QTimer *tmrEmail;
    SocketArray *EmailSock;

    QString FieldText(Field field) const override;
    void SetFieldEnabled(Field field, bool enabled) override;
    void ShowFieldLocked(Field field, bool locked) override;
    void SetTestEnabled(bool enabled) override;
    void ParkFocus() override;
    LogControl &Log() override;
    QTimer &MonitorTimer() override;
    SocketArray &Sockets() override;

    // The command handlers, public so that a test can run them as a click would.
    void cmdTest_Click();
    void cmdExit_Click();
    void Command1_Click();
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateControls();
    void SetTabOrder();
    void RouteEvents();
    QLineEdit *Box(Field field) const;

    void tmrEmail_Timer();
    void EmailSock_Connect(std::int16_t Index);
    void EmailSock_Encrypted(std::int16_t Index);
    void EmailSock_Close(std::int16_t Index);
    void EmailSock_Error(std::int16_t Index, QAbstractSocket::SocketError Error,
                         const QString &Description);
    void EmailSock_DataArrival(std::int16_t Index);
    void EmailSock_SendProgress(std::int16_t Index, std::int32_t bytesSent);
};

// The background colour of a text box, 0x00BBGGRR or a theme colour.
void SetBackColor(QLineEdit *box, std::uint32_t colour);
std::uint32_t BackColor(const QLineEdit *box);
