#include "robustness/Transcript.h"

#include "engine/MessageText.h"
#include "support/MessageShape.h"

namespace {
QStringList YellowLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (!line.isEmpty())
            line.prepend(QStringLiteral("Y:"));
    }
    return lines;
}

const QByteArray StampMarker = "Test Message Sent: ";
} // namespace

QStringList ExpectedLog(const QStringList &items)
{
    QStringList log{QStringLiteral("W:Connecting to SMTP Server, please wait ..")};
    for (const QString &item : items) {
        const QString text = item.mid(1);
        switch (item.at(0).unicode()) {
        case u'<':
            log += YellowLines(text); // the reply's own line end...
            log += QString();         // ...and the empty line the log adds
            break;
        case u'~':
            log += YellowLines(text);
            break;
        case u'>':
            log += QStringLiteral("W:") + text;
            break;
        case u'#':
            log += text;
            break;
        default:
            qFatal("ExpectedLog: item without a kind: %s", qPrintable(item));
        }
    }
    return log;
}

QByteArray ExpectedData(const QString &address, const QByteArray &bodyOnWire)
{
    return MessageShape::Expected(MessageShape::ToHeader(address), MessageShape::Admin, "<stamp>",
                                  bodyOnWire);
}

QByteArray ExpectedWire(const QList<QByteArray> &commands, const QByteArray &data)
{
    QByteArray wire;
    for (const QByteArray &command : commands) {
        wire += command + "\r\n";
        if (command == "DATA")
            wire += data;
    }
    return wire;
}

QByteArray TakeStamp(QByteArray &wire)
{
    wire = MessageShape::Masked(wire);
    const qsizetype start = wire.indexOf(StampMarker);
    if (start < 0)
        return {};
    const qsizetype from = start + StampMarker.size();
    const qsizetype end = wire.indexOf("\r\n", from);
    if (end < 0)
        return {};
    const QByteArray stamp = wire.mid(from, end - from);
    wire.replace(from, end - from, "<stamp>");
    return stamp;
}

QByteArray StampNow()
{
    return (DateText() + QStringLiteral("-") + TimeText()).toUtf8();
}
