#include "WireModel.h"

namespace {
const QByteArray StampMarker = "Test Message Sent: ";

QByteArray Line(const QString &text)
{
    return text.toUtf8() + "\r\n";
}

// The message as one answer: four pieces and the end-of-data line, sent
// together after the 354.
QByteArray Message(const QString &to, const QByteArray &bodyOnWire)
{
    const QByteArray local = to.left(to.indexOf(u'@')).toUtf8();
    return "From:Vormant <Admin>\r\nTo:" + local + " <" + to.toUtf8() +
           ">\r\nSubject:Vormant\r\n\r\n" + StampMarker + "<stamp>\r\n" + bodyOnWire +
           "\r\n\r\n.\r\n";
}
} // namespace

QByteArray WithoutStamp(QByteArray answer)
{
    const qsizetype start = answer.indexOf(StampMarker);
    if (start < 0)
        return answer;
    const qsizetype from = start + StampMarker.size();
    const qsizetype end = answer.indexOf("\r\n", from);
    if (end >= 0)
        answer.replace(from, end - from, "<stamp>");
    return answer;
}

WireModel::WireModel(const QString &to, const QString &user, const QString &pass,
                     const QByteArray &bodyOnWire, bool withAuth)
{
    const QByteArray local = to.left(to.indexOf(u'@')).toUtf8();
    const QByteArray helo = "HELO " + local + "\r\n";
    const QByteArray ehlo = "EHLO " + local + "\r\n";
    const QByteArray auth = "AUTH LOGIN\r\n";
    const QList<QByteArray> login{auth, Line(QString::fromLatin1(user.toUtf8().toBase64())),
                                  Line(QString::fromLatin1(pass.toUtf8().toBase64()))};
    const QList<QByteArray> mail{"MAIL FROM:<>\r\n", Line(QStringLiteral("RCPT TO:<") + to + u'>'),
                                 "DATA\r\n", Message(to, bodyOnWire), "QUIT\r\n"};
    if (withAuth) {
        // EHLO first; HELO when the server knows no EHLO.
        // With STARTTLS offered: STARTTLS, then after the handshake EHLO again.
        const QByteArray startTls = "STARTTLS\r\n";
        m_scripts << (QList<QByteArray>{ehlo} + login + mail)
                  << (QList<QByteArray>{ehlo, helo} + login + mail)
                  << (QList<QByteArray>{ehlo, startTls, ehlo} + login + mail)
                  << (QList<QByteArray>{ehlo, startTls, ehlo, helo} + login + mail);
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
