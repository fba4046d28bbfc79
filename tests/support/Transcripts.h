#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// The replies a real server gives, kept in a data file beside the tests, a
// server a section: "== name" starts one, every other line is "turn
// reply-line", and the lines of one turn make its reply, with CR LF line
// ends. Lines starting with "#" and empty lines are comments.
struct ServerTranscript
{
    QString name;
    QMap<QByteArray, QByteArray> replies; // by turn

    // The reply of a turn; a transcript without it stops the test program.
    QByteArray reply(const QByteArray &turn) const;
};

// The servers of a file; a file that cannot be read, or a line before the
// first server, stops the test program with the file's name and line.
QList<ServerTranscript> ReadTranscripts(const QString &fileName);
