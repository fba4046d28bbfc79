#include "ProcessStats.h"

#include <QFile>

#include <sys/resource.h>
#include <time.h>

namespace ProcessStats {

namespace {
qint64 ClockNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}
} // namespace

qint64 MonotonicNs()
{
    return ClockNs(CLOCK_MONOTONIC);
}

qint64 CpuNs()
{
    return ClockNs(CLOCK_PROCESS_CPUTIME_ID);
}

qint64 VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

qint64 StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace ProcessStats
