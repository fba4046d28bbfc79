#include "engine/MessageData.h"

#include "engine/MessageBody.h"
#include "engine/MessageText.h"

namespace {
const QString CRLF = QStringLiteral("\r\n");
// Who the message is from, and the local part of its address when no login
// address stands for the sender.
const QString SenderName = QStringLiteral("Vormant");
const QString SenderLocalPart = QStringLiteral("Admin");
// The domain of that address: one that can never publish a policy nor belong
// to anyone (RFC 2606, RFC 6761). Any real domain here, the recipient's above
// all, makes the test message impersonate it, and receivers that enforce the
// domain's DMARC policy refuse it.
const QString SenderDomain = QStringLiteral("vormant.invalid");

QString Header(const QString &name, const QString &value)
{
    return name + QStringLiteral(": ") + value + CRLF;
}
} // namespace

QString MessageDomain(const MessageFields &fields)
{
    return fields.sender.isEmpty() ? SenderDomain : AsciiDomain(DomainPart(fields.sender));
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
