#include "StartupProbe.h"

#include "ProcessStats.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {
qint64 StartNs()
{
    bool ok = false;
    const qint64 parentNs = qEnvironmentVariable("VORMANT_BENCH_T0_NS").toLongLong(&ok);
    return ok ? parentNs : ProcessStats::MonotonicNs();
}

bool ShownAndExposed(const QWidget *window)
{
    return window && window->isVisible() && window->windowHandle() &&
           window->windowHandle()->isExposed();
}
} // namespace

void ReportWhenShownAndIdle(QWidget *window)
{
    const qint64 startNs = StartNs();
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    auto reported = std::make_shared<bool>(false);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, window,
                     [window = QPointer<QWidget>(window), startNs, reported] {
                         if (*reported || !ShownAndExposed(window))
                             return;
                         *reported = true;
                         const double ms = double(ProcessStats::MonotonicNs() - startNs) / 1e6;
                         const QJsonObject line{
                             {"startup_ms", ms},
                             {"peak_rss_kb", double(ProcessStats::StatusKb("VmHWM"))},
                             {"rss_kb", double(ProcessStats::StatusKb("VmRSS"))},
                         };
                         std::fputs(QJsonDocument(line).toJson(QJsonDocument::Compact), stdout);
                         std::fputc('\n', stdout);
                         std::fflush(stdout);
                         QCoreApplication::exit(0);
                     });
}
