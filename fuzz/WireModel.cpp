#include "WireModel.h"

namespace {
const QByteArray StampMarker = "Test Message Sent: ";

QByteArray Line(const QString &text)
{
    return text.toUtf8() + "\r\n";
}

// The message as one answer, headers to end-of-data line, sent after the
// 354 (for a plain recipient such as bob@example.com and a body in 7 bits).
QByteArray Message(const QString &to, const QByteArray &bodyOnWire)
{
    const qsizetype at = to.indexOf(u'@');
    const QByteArray local = to.left(at).toUtf8();
    return "Date: <date>\r\nFrom: Vormant <Admin@vormant.invalid>\r\nTo: " + local + " <" +
           to.toUtf8() +
           ">\r\nSubject: Vormant\r\nMessage-ID: <<id>@vormant.invalid"
           ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n" +
           StampMarker + "<stamp>\r\n" + bodyOnWire + "\r\n\r\n.\r\n";
}

// The text from `after` to the end of its line replaced by `placeholder`.
void Mask(QByteArray &answer, const QByteArray &after, const QByteArray &until,
          const QByteArray &placeholder)
{
    const qsizetype start = answer.indexOf(after);
    if (start < 0)
        return;
    const qsizetype from = start + after.size();
    const qsizetype end = answer.indexOf(until, from);
    if (end >= 0)
        answer.replace(from, end - from, placeholder);
}
} // namespace

QByteArray WithoutStamp(QByteArray answer)
{
    if (!answer.startsWith("Date: "))
        return answer;
    Mask(answer, "Date: ", "\r\n", "<date>");
    Mask(answer, "\r\nMessage-ID: <", "@", "<id>");
    Mask(answer, "\r\n" + StampMarker, "\r\n", "<stamp>");
    return answer;
}

WireModel::WireModel(const QString &to, const QString &user, const QString &pass,
                     const QByteArray &bodyOnWire, bool withAuth)
{
    // A test peer has no address: the greeting names the IPv4 loopback.
    const QByteArray helo = "HELO [127.0.0.1]\r\n";
    const QByteArray ehlo = "EHLO [127.0.0.1]\r\n";
    const QByteArray auth = "AUTH LOGIN\r\n";
    const QList<QByteArray> login{auth, Line(QString::fromLatin1(user.toUtf8().toBase64())),
                                  Line(QString::fromLatin1(pass.toUtf8().toBase64()))};
    const QList<QByteArray> plain{
        "AUTH PLAIN " + (QByteArray(1, '\0') + user.toUtf8() + '\0' + pass.toUtf8()).toBase64() +
        "\r\n"};
    const QList<QByteArray> mail{"MAIL FROM:<>\r\n", Line(QStringLiteral("RCPT TO:<") + to + u'>'),
                                 "DATA\r\n", Message(to, bodyOnWire), "QUIT\r\n"};
    if (withAuth) {
        // EHLO first; HELO when the server knows no EHLO.
        // With STARTTLS offered: STARTTLS, then after the handshake EHLO again.
        const QByteArray startTls = "STARTTLS\r\n";
        // AUTH PLAIN instead when the EHLO reply offers only that.
        for (const QList<QByteArray> &way : {login, plain})
            m_scripts << (QList<QByteArray>{ehlo} + way + mail)
                      << (QList<QByteArray>{ehlo, helo} + way + mail)
                      << (QList<QByteArray>{ehlo, startTls, ehlo} + way + mail)
                      << (QList<QByteArray>{ehlo, startTls, ehlo, helo} + way + mail);
    } else {
        m_scripts << (QList<QByteArray>{helo} + mail);
    }
    m_positions = QList<qsizetype>(m_scripts.size(), 0);
}

bool WireModel::Accept(const QByteArray &answer)
{
    if (answer.isEmpty())
        return true;
    const QByteArray sent = WithoutStamp(answer);
    bool possible = false;
    m_quitSent = false;
    for (qsizetype i = 0; i < m_scripts.size(); ++i) {
        qsizetype &position = m_positions[i];
        const qsizetype last = m_scripts[i].size() - 1;
        if (position >= 0 && position <= last && m_scripts[i][position] == sent) {
            m_quitSent = m_quitSent || position == last;
            ++position;
            possible = true;
        } else if (position >= 0 && position <= last && sent == "QUIT\r\n") {
            // The goodbye after a refusal: nothing may follow it.
            position = last + 1;
            possible = true;
        } else {
            position = -1; // this dialogue is no longer the one going on
        }
    }
    return possible;
}
