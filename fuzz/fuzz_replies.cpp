// Plays arbitrary server byte streams, cut into arbitrary pieces, into the
// window's socket element 1 and so through the reply framing and the dialogue
// step, and checks what must hold whatever a server sends:
// - nothing crashes, leaks or overflows (the sanitizers watch);
// - the client's bytes follow a legal dialogue, one answer per arrival;
// - while the dialogue goes on, the reply being framed stays within 64 KiB;
// - every stream ends in exactly one outcome, "sent" exactly when the QUIT
//   after the message went out (a QUIT after a refusal ends the slot as
//   failed), and one verdict box, after which the window is ready again;
// - the log shows no control characters and never the password's Base64.
//
// Input: the first byte chooses the run (bit 0: with user name and password;
// bits 1-2: how a stream that has not ended the dialogue ends: the server
// closes, the reply time-out runs out, the socket reports an error, or the
// server closes and a late error follows; bit 3: the server never stops, its
// last piece comes again and again, a few KiB at a time, until 80 KiB have
// arrived; bit 4: a TLS handshake the client starts is completed by the
// peer, else it never ends). The rest is
// pieces, each a length byte followed by that many bytes (fewer when the
// input ends first).

#include "WireModel.h"
#include "app/Module1.h"
#include "app/frmMain.h"
#include "engine/MxLookup.h"
#include "engine/modQuendel_EmailClient.h"
#include "support/PeerSocket.h"
#include "support/TestServices.h"

#include <QApplication>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace Engine = modQuendel_EmailClient;

namespace {
const QString To = QStringLiteral("bob@example.com");
const QString User = QStringLiteral("user");
const QString Pass = QStringLiteral("s3cret!");
const QString Body = QStringLiteral("Hello\n.world");
const QByteArray BodyOnWire = "Hello\r\n..world";

constexpr qsizetype EndlessBytes = 80 * 1024;

enum class StreamEnd { PeerClose, ReplyTimeout, SocketError, CloseThenError };

[[noreturn]] void Broken(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

struct Harness
{
    // Boxes and the program's end are recorded; declared first, so that the
    // window's sockets find them as long as they exist.
    TestServices services;
    frmMain window;
    // Plays the server's side of the run on its element.
    std::function<void(PeerSocket &)> play;

    Harness()
    {
        Module1::MainForm = &window;
        Module1::SetWindow(&window);
        // No run of the fuzzer may reach a resolver, the machine's or any.
        MxLookup::Settings().enabled = false;
        // The run's element is a peer played here instead of a server: once
        // the engine has seen it connect, the stream is played, while the
        // engine waits for its slot to end as it would for a server.
        window.EmailSock->SetElementMaker([this](QObject *parent) {
            auto *peer = new PeerSocket(parent);
            QObject::connect(
                peer, &SocketElement::connected, peer, [this, peer] { play(*peer); },
                Qt::QueuedConnection);
            return peer;
        });
        // The window stays hidden: painting has no part in what a server can
        // do to the dialogue, and would make every run several times slower.
    }
};

// The application and the window live as long as the process: destroying
// them at exit, after Qt's own statics, is not what a run ever does.
Harness &TheHarness()
{
    static Harness *const harness = new Harness;
    return *harness;
}

void EndStream(PeerSocket &socket, StreamEnd end)
{
    switch (end) {
    case StreamEnd::PeerClose:
        socket.PeerClose();
        break;
    case StreamEnd::ReplyTimeout:
        Engine::OnReplyTimeout();
        break;
    case StreamEnd::SocketError:
        socket.Fail(QAbstractSocket::UnknownSocketError, QStringLiteral("aborted"));
        break;
    case StreamEnd::CloseThenError:
        socket.PeerClose();
        socket.Fail(QAbstractSocket::UnknownSocketError, QStringLiteral("aborted"));
        break;
    }
}

// The legal dialogues are the same in every run: each run follows them on a
// copy of the one built at start.
WireModel Dialogues(bool withAuth)
{
    static const WireModel withLogin(To, User, Pass, BodyOnWire, true);
    static const WireModel withoutLogin(To, User, Pass, BodyOnWire, false);
    return withAuth ? withLogin : withoutLogin;
}

// The check's own comparisons are no guidance for the fuzzer.
__attribute__((no_sanitize("coverage"))) void CheckLog(const Harness &h, const QByteArray &stream)
{
    const QString log = h.window.rtbStatus->toPlainText();
    for (const QChar c : log) {
        if (c.unicode() < 0x20 && c != u'\n' && c != u'\t')
            Broken("a control character reached the log");
    }
    const QByteArray hidden = Pass.toUtf8().toBase64();
    if (log.contains(QString::fromLatin1(hidden)) && !stream.contains(hidden))
        Broken("the password's Base64 reached the log");
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    static QApplication *const app = new QApplication(qtArgc, qtArgv);
    Q_UNUSED(app);
    Q_UNUSED(argc);
    TheHarness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    Harness &h = TheHarness();
    const bool withAuth = data[0] & 1;
    const auto end = StreamEnd((data[0] >> 1) & 3);

    h.services.forget();
    WireModel wire = Dialogues(withAuth);
    const bool endless = data[0] & 8;
    const bool handshakes = data[0] & 16; // the peer completes a TLS handshake asked for
    bool startTlsSent = false;

    QByteArray stream; // everything the server sent
    bool refusalQuit = false;
    bool played = false;
    h.play = [&](PeerSocket &socket) {
        played = true;
        const auto deliver = [&](const QByteArray &piece) {
            stream += piece;
            socket.Receive(piece);
            const QByteArray sink = socket.TakeSent();
            if (!wire.Accept(sink))
                Broken("the client sent what no dialogue allows");
            // After STARTTLS, nothing of the login goes out unless the
            // connection was encrypted first.
            startTlsSent = startTlsSent || sink.contains("STARTTLS\r\n");
            if (startTlsSent && !socket.IsEncrypted() &&
                (sink.contains("AUTH LOGIN") || sink.contains(User.toUtf8().toBase64()) ||
                 sink.contains(Pass.toUtf8().toBase64())))
                Broken("a login went out in clear after STARTTLS");
            // A QUIT that ends the slot at once answered a refusal.
            refusalQuit = refusalQuit || (sink.endsWith("QUIT\r\n") && Engine::SlotEnded[1]);
            if (refusalQuit && Engine::SentCount != 0)
                Broken("a refusal counted as sent");
            if (handshakes && Engine::SmtpStep == Engine::Step::Handshake &&
                !Engine::SlotEnded[1]) {
                socket.PeerEncrypted(TlsReport{}); // the client greets again at once
                if (!wire.Accept(socket.TakeSent()))
                    Broken("the client sent what no dialogue allows after the handshake");
            }
            if (!Engine::SlotEnded[1] && Engine::Reply.Overflowed())
                Broken("a reply past 64 KiB did not end the slot");
        };
        QByteArray piece;
        for (std::size_t at = 1; at < size && !Engine::SlotEnded[1];) {
            const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
            piece = QByteArray(reinterpret_cast<const char *>(data + at + 1), qsizetype(length));
            at += 1 + length;
            deliver(piece);
        }
        // A few KiB an arrival, as a flooding server's data would come.
        const QByteArray flood =
            piece.repeated(std::max<qsizetype>(1, 4096 / std::max<qsizetype>(1, piece.size())));
        while (endless && !piece.isEmpty() && stream.size() < EndlessBytes && !Engine::SlotEnded[1])
            deliver(flood);
        if (!Engine::SlotEnded[1])
            EndStream(socket, end);

        if (!Engine::StepDone || !Engine::SlotEnded[1])
            Broken("the stream ended and the slot did not");
    };

    // As the Test click starts it, after its check of the fields.
    Engine::StartRun({Body, To, withAuth ? User : QString(), withAuth ? Pass : QString(),
                      QStringLiteral("stream.invalid")});

    if (!played)
        Broken("the run never reached its server");
    if (Engine::SentCount + Engine::ErrorCount != 1)
        Broken("a slot ended other than exactly once");
    if ((Engine::SentCount == 1) != (wire.QuitSent() && !refusalQuit))
        Broken("sent without QUIT, or QUIT sent and the slot failed");

    // The monitor looks at the outcome as soon as the event loop runs again,
    // not at its next tick.
    QCoreApplication::sendPostedEvents();
    const QString verdict =
        Engine::SentCount == 1 ? QStringLiteral("Email Sent") : QStringLiteral("SMTP Error!");
    if (h.services.boxTexts() != QStringList{verdict})
        Broken("not exactly the one verdict box");
    if (h.window.tmrEmail->isActive() || h.window.EmailSock->Indexes() != QList<std::int16_t>{0})
        Broken("the run left its timer or socket behind");
    if (!h.window.cmdTest->isEnabled() || !h.window.txtEmail->isEnabled())
        Broken("the window stayed locked");
    if (h.services.programEnds() != 0)
        Broken("the program was ended");
    CheckLog(h, stream);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
