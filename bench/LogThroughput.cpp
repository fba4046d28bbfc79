#include "LogThroughput.h"

#include "ProcessStats.h"
#include "platform/StatusLog.h"
#include "util/Colors.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QEventLoop>

#include <functional>

namespace {
const QString CRLF = QStringLiteral("\r\n");

QString MultiLineReply(qint64 bytes)
{
    // 78 bytes a line, like a verbose server's help text.
    const QString line = QStringLiteral("250-") + QString(72, u'x') + CRLF;
    QString reply;
    reply.reserve(bytes + line.size());
    while (reply.size() + line.size() < bytes)
        reply += line;
    reply += QStringLiteral("250 end of a very long reply") + CRLF;
    return reply;
}
} // namespace

LogThroughput::LogThroughput(StatusLog &log) : m_log(log)
{
    m_clock.start();
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(10);
    connect(&m_ticker, &QTimer::timeout, this, &LogThroughput::onTick);
}

void LogThroughput::onTick()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_maxGapNs = std::max(m_maxGapNs, now - m_lastTickNs);
    m_lastTickNs = now;
}

// The engine's way of logging a server reply.
void LogThroughput::logReply(const QString &reply)
{
    m_log.SetSelColor(Colors::Yellow);
    m_log.InsertText(reply + CRLF);
}

// Everything the insertions left to do is done: the layout is complete and
// the log has been painted.
void LogThroughput::settle()
{
    m_log.document()->documentLayout()->documentSize();
    // The log holds its repaint back for a moment after a burst of text.
    while (!m_log.updatesEnabled())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void LogThroughput::idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Work> LogThroughput::Result LogThroughput::measure(Work work)
{
    m_log.SetText(QString());
    settle();

    m_lastTickNs = m_clock.nsecsElapsed();
    m_maxGapNs = 0;
    m_ticker.start();
    idleFor(30);

    Result result;
    const qint64 start = m_clock.nsecsElapsed();
    const qint64 cpuStart = ProcessStats::CpuNs();
    result.bytes = work();
    settle();
    result.elapsedMs = double(m_clock.nsecsElapsed() - start) / 1e6;
    result.cpuMs = double(ProcessStats::CpuNs() - cpuStart) / 1e6;

    idleFor(30); // a tick held back by the last repaint still counts
    m_ticker.stop();
    result.maxGapMs = double(m_maxGapNs) / 1e6;
    return result;
}

LogThroughput::Result LogThroughput::bigReply(qint64 bytes)
{
    const QString reply = MultiLineReply(bytes);
    return measure([&] {
        logReply(reply);
        return qint64(reply.size());
    });
}

LogThroughput::Result LogThroughput::shortReplies(int count)
{
    return measure([&] {
        // Each reply is its own event, as each arrives on its own.
        QEventLoop loop;
        qint64 bytes = 0;
        int logged = 0;
        std::function<void()> next = [&] {
            const QString reply =
                QStringLiteral("250 2.0.0 Ok: queued as %1").arg(logged, 8, 10, QChar(u'0'));
            logReply(reply);
            bytes += reply.size() + CRLF.size();
            if (++logged < count)
                QMetaObject::invokeMethod(this, next, Qt::QueuedConnection);
            else
                loop.quit();
        };
        QMetaObject::invokeMethod(this, next, Qt::QueuedConnection);
        loop.exec();
        return bytes;
    });
}
