#include "engine/MessageData.h"

#include "engine/MessageBody.h"
#include "engine/MessageText.h"

#include <QHostAddress>

namespace {
const QString CRLF = QStringLiteral("\r\n");
// Who the message is from, and the local part of its address when no login
// address stands for the sender.
const QString SenderName = QStringLiteral("Vormant");
const QString SenderLocalPart = QStringLiteral("Admin");

QString Header(const QString &name, const QString &value)
{
    return name + QStringLiteral(": ") + value + CRLF;
}

bool IsAddress(const QString &host)
{
    return !QHostAddress(host).isNull();
}
} // namespace

QString MessageDomain(const MessageFields &fields)
{
    if (!fields.sender.isEmpty())
        return AsciiDomain(DomainPart(fields.sender));
    const QString recipientDomain = AsciiDomain(DomainPart(fields.recipient));
    if (!recipientDomain.isEmpty())
        return recipientDomain;
    return IsAddress(fields.serverName) || fields.serverName.isEmpty() ? QStringLiteral("localhost")
                                                                       : fields.serverName;
}

QString MessageData(const MessageFields &fields)
{
    const QString domain = MessageDomain(fields);
    const QString from =
        fields.sender.isEmpty() ? SenderLocalPart + u'@' + domain : AsciiAddress(fields.sender);
    const QString name = DisplayName(LocalPart(fields.recipient));
    const QString to = AsciiAddress(fields.recipient);
    const WireBody body = BodyForWire(fields.text);

    return Header(QStringLiteral("Date"), DateHeaderText(fields.date)) +
           Header(QStringLiteral("From"), SenderName + QStringLiteral(" <") + from + u'>') +
           Header(QStringLiteral("To"),
                  (LocalPart(fields.recipient).isEmpty() ? QString() : name + u' ') + u'<' + to +
                      u'>') +
           Header(QStringLiteral("Subject"), fields.subject) +
           Header(QStringLiteral("Message-ID"), u'<' + fields.uniqueId + u'@' + domain + u'>') +
           Header(QStringLiteral("MIME-Version"), QStringLiteral("1.0")) +
           Header(QStringLiteral("Content-Type"), QStringLiteral("text/plain; charset=UTF-8")) +
           Header(QStringLiteral("Content-Transfer-Encoding"), body.encoding) + CRLF + body.text +
           QStringLiteral(".") + CRLF;
}
