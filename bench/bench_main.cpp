// The benchmark driver of the window and its log. bench/run starts it; see
// docs/PERFORMANCE.md for what it measures.
//
//   vormant_bench serve           answer "test" commands on stdin (CommandServer.h)
//   vormant_bench log [repeat]    time the status log under a flood of text

#include "CommandServer.h"
#include "LogThroughput.h"
#include "WindowDriver.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {
void PrintLogResult(const char *kind, qint64 size, const LogThroughput::Result &result)
{
    const QJsonObject line{
        {"kind", kind},
        {"size", double(size)},
        {"bytes", double(result.bytes)},
        {"elapsed_ms", result.elapsedMs},
        {"cpu_ms", result.cpuMs},
        {"max_gap_ms", result.maxGapMs},
    };
    std::fputs(QJsonDocument(line).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int RunLogBench(int repeat)
{
    WindowDriver driver;
    LogThroughput bench(*driver.window().rtbStatus);
    // Rounds rather than one size after the other, so that a slow patch of a
    // shared machine hits every size alike.
    for (int round = 0; round < repeat; ++round) {
        // 64 KiB is the longest reply the engine logs as one.
        for (const qint64 size : {qint64(64) << 10, qint64(1) << 20, qint64(2) << 20})
            PrintLogResult("reply", size, bench.bigReply(size));
        for (const int count : {10'000, 20'000})
            PrintLogResult("replies", count, bench.shortReplies(count));
    }
    return 0;
}

int Usage()
{
    std::fputs("usage: vormant_bench serve | vormant_bench log [repeat]\n", stderr);
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vormant"));
    const QStringList args = QApplication::arguments().mid(1);

    if (args.value(0) == u"serve" && args.size() == 1) {
        CommandServer server;
        return QApplication::exec();
    }
    if (args.value(0) == u"log" && args.size() <= 2) {
        bool ok = true;
        const int repeat = args.size() == 2 ? args.at(1).toInt(&ok) : 5;
        return ok && repeat > 0 ? RunLogBench(repeat) : Usage();
    }
    return Usage();
}
