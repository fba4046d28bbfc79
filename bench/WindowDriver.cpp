#include "WindowDriver.h"

#include "ProcessStats.h"
#include "app/Module1.h"
#include "engine/modQuendel_EmailClient.h"

#include <QCoreApplication>
#include <QTimer>

WindowDriver::WindowDriver() : m_window(std::make_unique<frmMain>())
{
    m_clock.start();
    Module1::MainForm = m_window.get();
    Module1::SetWindow(m_window.get());

    // Connected after the window's own routing, so these run once the engine
    // has handled the same event.
    connect(m_window->EmailSock, &SocketArray::Connect, this, &WindowDriver::onConnected);
    connect(m_window->EmailSock, &SocketArray::DataArrival, this, &WindowDriver::onDataArrival);
    m_window->show();
}

WindowDriver::~WindowDriver()
{
    m_window.reset(); // while the services it uses are still there
}

void WindowDriver::DriverServices::ShowMessageBox(const QString &text, int, const QString &)
{
    std::optional<Run> &run = m_driver.m_run;
    if (!run)
        return;
    if (run->verdictNs < 0)
        run->verdictNs = m_driver.now();
    run->boxes.append(text);
}

void WindowDriver::onConnected()
{
    if (!m_run || m_run->connectedNs >= 0)
        return;
    m_run->connectedNs = now();
    m_run->cpuAtConnectedNs = ProcessStats::CpuNs();
    m_run->sleepsAtConnected = ProcessStats::VoluntarySwitches();
}

void WindowDriver::onDataArrival()
{
    if (!m_run)
        return;
    if (m_run->greetingNs < 0) {
        m_run->greetingNs = now();
        m_run->cpuAtGreetingNs = ProcessStats::CpuNs();
        m_run->sleepsAtGreeting = ProcessStats::VoluntarySwitches();
    }
    // The reply to QUIT is the one after which the slot counts as sent.
    if (m_run->quitReplyNs < 0 && modQuendel_EmailClient::StepDone &&
        modQuendel_EmailClient::SentCount > 0)
        m_run->quitReplyNs = now();
}

WindowDriver::Run WindowDriver::runTest(const Fields &fields, int timeoutMs)
{
    m_window->txtMessage->setText(fields.message);
    m_window->txtEmail->setText(fields.email);
    m_window->txtUser->setText(fields.user);
    m_window->txtPass->setText(fields.pass);
    m_window->txtServer->setText(fields.server);

    bool timedOut = false;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, this, [&timedOut] { timedOut = true; });
    limit.start(timeoutMs);

    m_run.emplace();
    m_run->clickNs = now();
    m_window->cmdTest->click();
    // The click returns once the dialogue is over; the verdict comes with a
    // later tick of the monitor, which stops its timer when the run ends.
    while (m_window->tmrEmail->isActive() && !timedOut)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_run->ended = !m_window->tmrEmail->isActive();

    Run run = *m_run;
    m_run.reset();
    // The run's socket element is deleted later; let that happen now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return run;
}
