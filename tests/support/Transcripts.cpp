#include "support/Transcripts.h"

#include <QFile>

QByteArray ServerTranscript::reply(const QByteArray &turn) const
{
    if (!replies.contains(turn))
        qFatal("The transcript of %s has no turn \"%s\"", qPrintable(name), turn.constData());
    return replies.value(turn);
}

QList<ServerTranscript> ReadTranscripts(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Cannot read %s: %s", qPrintable(fileName), qPrintable(file.errorString()));
    QList<ServerTranscript> servers;
    int lineNumber = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        ++lineNumber;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith("== ")) {
            servers.append({QString::fromUtf8(line.mid(3)), {}});
            continue;
        }
        const qsizetype blank = line.indexOf(' ');
        if (servers.isEmpty() || blank <= 0)
            qFatal("%s:%d: not \"== name\" nor \"turn reply-line\" of a server",
                   qPrintable(fileName), lineNumber);
        servers.last().replies[line.left(blank)] += line.mid(blank + 1) + "\r\n";
    }
    return servers;
}
