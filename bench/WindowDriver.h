#pragma once

#include "app/frmMain.h"
#include "platform/QtServices.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

// The window, offscreen, on which the benchmark clicks Test as a user would.
// Message boxes are recorded with the moment they would have appeared. The
// engine is watched only from outside, through the socket array's events.
class WindowDriver : public QObject
{
    Q_OBJECT
public:
    struct Fields
    {
        QString message;
        QString email;
        QString user;
        QString pass;
        QString server;
    };

    // What one click of Test did. Times are nanoseconds on the driver's clock;
    // -1 where the moment never came.
    struct Run
    {
        bool ended = false; // the monitor ended the run before the time limit
        QStringList boxes;
        qint64 clickNs = -1;
        qint64 connectedNs = -1; // the TCP connection is open
        qint64 greetingNs = -1;  // the first data has arrived and been handled
        qint64 quitReplyNs = -1; // the reply to QUIT has been handled: slot sent
        qint64 verdictNs = -1;   // the first message box
        // Processor time and sleeps of the process at the connection and at
        // the greeting.
        qint64 cpuAtConnectedNs = 0;
        qint64 cpuAtGreetingNs = 0;
        qint64 sleepsAtConnected = 0;
        qint64 sleepsAtGreeting = 0;
    };

    WindowDriver();
    ~WindowDriver() override;

    frmMain &window() { return *m_window; }
    Services &services() { return m_services; }

    // Fills the fields, clicks Test and returns once the monitor has ended
    // the run (or after timeoutMs).
    Run runTest(const Fields &fields, int timeoutMs);

private:
    // The desktop's own, but a box is recorded rather than shown, and closing
    // the window must not end the benchmark's process.
    class DriverServices final : public QtServices
    {
    public:
        explicit DriverServices(WindowDriver &driver) : m_driver(driver) {}
        void ShowMessageBox(const QString &text, int style, const QString &title) override;
        void EndProgram() override {}

    private:
        WindowDriver &m_driver;
    };

    void onConnected();
    void onDataArrival();
    qint64 now() const { return m_clock.nsecsElapsed(); }

    DriverServices m_services{*this};
    const UseServices m_inUse{m_services};
    std::unique_ptr<frmMain> m_window;
    QElapsedTimer m_clock;
    std::optional<Run> m_run;
};
