#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class StatusLog;

// How the status log copes with a flood: one huge multi-line reply, or many
// short replies each arriving as its own event. A 10 ms timer runs
// throughout; the longest gap between its ticks is how long an event (a
// click, a repaint) would have had to wait.
class LogThroughput : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        qint64 bytes = 0;     // text handed to the log
        double elapsedMs = 0; // from the first insertion until shown and laid out
        double cpuMs = 0;     // processor time of the process meanwhile
        double maxGapMs = 0;  // longest wait of the 10 ms timer
    };

    explicit LogThroughput(StatusLog &log);

    // One reply of about `bytes` bytes in "250-" lines, logged in one insertion.
    Result bigReply(qint64 bytes);
    // `count` short replies, each logged by its own event.
    Result shortReplies(int count);

private:
    template <typename Work> Result measure(Work work);
    void logReply(const QString &reply);
    void settle();
    void idleFor(int ms);
    void onTick();

    StatusLog &m_log;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_lastTickNs = 0;
    qint64 m_maxGapNs = 0;
};
