#include "engine/Notes.h"
#include "engine/ReplyDeadline.h"
#include "engine/RunEvidence.h"
#include "engine/RunInput.h"
#include "engine/ServerAddress.h"
#include "engine/WindowControls.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/LogControl.h"
#include "platform/SocketArray.h"
#include "platform/UntrappedError.h"
#include "util/Checked16.h"
#include "util/Colors.h"
#include "util/Pause.h"

#include <QCoreApplication>
#include <QTimer>

using Module1::Sockets;

namespace modQuendel_EmailClient {

void StartRun(const RunRequest &request)
{
    Run = RunState{};

    Module1::MailBody = request.message;
    Module1::MailTo[1] = request.email;
    Module1::SmtpUser = request.user;
    Module1::SmtpPass = request.pass;
    Module1::SmtpServer = request.server;
    Module1::MailCount = 1;
    Module1::MailSubject = QStringLiteral("Vormant");
    Module1::MailFrom = QStringLiteral("Admin");

    Module1::LockFields(Module1::Window());

    LogControl &log = Module1::Log();
    log.SetText(QString());
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));

    SendMail();
}

void SendMail()
{
    // ErrorCount starts at 0 with the run: each run is judged on its own failures.
    SentCount = 0;
    CurrentSlot = 0;
    LoadSockets();
    Pause(0.001);
    Module1::MonitorTimer().setInterval(100);
    Module1::MonitorTimer().start();
    ConnectPendingSlots();
}

void LoadSockets()
{
    for (std::int16_t i = 1; i <= Module1::MailCount; ++i) {
        // A failing statement is skipped and the next one runs.
        try {
            Sockets().Load(i);
        } catch (const RuntimeError &) {
        }
        try {
            SlotPending.at(std::size_t(i)) = true;
        } catch (const std::out_of_range &) {
        }
    }
}

namespace {
// A failure while starting a connection ends the run at once.
void ConnectFailure(const QString &description)
{
    Notes::ConnectFailed(description);
    RunEvidence::HintAfter(Hints::Event::NotStarted);
    ErrorCount = CheckedAdd16(ErrorCount, 1);
    FinishMailRun();
}
} // namespace

void ConnectPendingSlots()
{
    const std::int16_t count = Module1::MailCount;
    try {
        for (std::int16_t i = 1; i <= count; ++i) {
            if (!SlotPending.at(std::size_t(i)))
                continue;
            CurrentSlot = i;
            StepDone = false;
            StartSlot(i);

            const ServerAddress server = ParseServerAddress(Module1::SmtpServer);
            if (!server.valid)
                throw RuntimeError(ErrorNumber::InvalidArgument,
                                   QStringLiteral("Invalid argument"));
            SocketElement &socket = Sockets()(i);
            socket.RemoteHost = server.host;
            socket.RemotePort = server.port;
            // A connection can fail inside Connect already; its error must
            // find this slot's step, not the last step of the run before.
            SmtpStep = Step::Helo;
            ImplicitTls = server.port == ImplicitTlsPort;
            if (ImplicitTls)
                socket.ConnectEncrypted();
            else
                socket.Connect();
            StartReplyDeadline(Run.ReplyMs); // for the greeting

            WaitStepDone();
        }
    } catch (const RuntimeError &error) {
        ConnectFailure(error.description());
    } catch (const std::exception &error) {
        ConnectFailure(QString::fromLocal8Bit(error.what()));
    }
}

void WaitStepDone()
{
    // Sleeps until the next event; whatever ends the slot sets StepDone.
    while (!StepDone)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void UnloadSockets()
{
    for (std::int16_t i = 1; i <= Module1::MailCount; ++i) {
        try {
            if (!SlotPending.at(std::size_t(i)))
                continue;
        } catch (const std::out_of_range &) {
            continue;
        }
        // A failing statement is skipped and the next one runs.
        try {
            Sockets()(i).Close();
        } catch (const RuntimeError &) {
        }
        try {
            Sockets().Unload(i);
        } catch (const RuntimeError &) {
        }
        SlotPending[std::size_t(i)] = false;
    }
}

// The monitor looks at the outcome at once rather than at its next tick, but
// outside the socket event that decided it. A run that has ended meanwhile is
// not looked at again.
void CheckOutcomeSoon()
{
    QTimer::singleShot(0, &Module1::MonitorTimer(), [] {
        Trapped([] {
            if (Module1::MonitorTimer().isActive())
                MonitorTick();
        });
    });
}

namespace {
// A slot's outcome counts once: an element's late events after its slot
// ended are not a second result.
void CountOutcome(std::int16_t Index, std::int16_t &counter)
{
    if (Index < 0 || Index > MaxSlots || SlotEnded[std::size_t(Index)])
        return;
    SlotEnded[std::size_t(Index)] = true;
    StopReplyDeadline();
    counter = CheckedAdd16(counter, 1);
    CheckOutcomeSoon();
}
} // namespace

void MarkSlotSent(std::int16_t Index)
{
    CurrentSlot = Index;
    CountOutcome(Index, SentCount);
    StepDone = true;
}

void MarkSlotError(std::int16_t Index)
{
    CurrentSlot = Index;
    CountOutcome(Index, ErrorCount);
    StepDone = true;
}

} // namespace modQuendel_EmailClient
