#include "util/Pause.h"

#include <QElapsedTimer>
#include <QTime>
#include <QTimer>
#include <QtTest>

#include <ctime>

namespace {
// CPU time of this process in seconds.
double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}
} // namespace

// The pause keeps the window alive while it waits: events run, the process
// sleeps, and the wait ends after about the time asked for, whatever the
// time of day.
class tst_Pause : public QObject
{
    Q_OBJECT
private slots:
    void lastsAboutTheRequestedTime_data();
    void lastsAboutTheRequestedTime();
    void handlesEventsMeanwhile();
    void sleepsWhileWaiting();
    void pauseAcrossMidnight();
};

void tst_Pause::lastsAboutTheRequestedTime_data()
{
    QTest::addColumn<double>("seconds");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -1.0;
    QTest::newRow("one millisecond") << 0.001;
    QTest::newRow("a fifth of a second") << 0.2;
    QTest::newRow("one second") << 1.0;
}

void tst_Pause::lastsAboutTheRequestedTime()
{
    QFETCH(double, seconds);
    QElapsedTimer clock;
    clock.start();
    Pause(seconds);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    QVERIFY2(elapsed >= std::max(0.0, seconds), qPrintable(QString::number(elapsed)));
    // Generous: a loaded machine may be slow to hand back the processor.
    QVERIFY2(elapsed < std::max(0.0, seconds) + 5.0, qPrintable(QString::number(elapsed)));
}

void tst_Pause::handlesEventsMeanwhile()
{
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(20);
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start();
    bool posted = false;
    QMetaObject::invokeMethod(
        this, [&posted] { posted = true; }, Qt::QueuedConnection);

    Pause(0.5);

    QVERIFY(posted);
    QVERIFY2(ticks >= 2, qPrintable(QString::number(ticks)));
}

void tst_Pause::sleepsWhileWaiting()
{
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = CpuSeconds();
    Pause(1.5);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    // A loop that polls the clock keeps a processor busy for the whole wait;
    // a sleeping one uses next to nothing. The bound is far from both.
    QVERIFY2(cpu < wall / 4, qPrintable(QStringLiteral("cpu %1 s of %2 s").arg(cpu).arg(wall)));
}

void tst_Pause::pauseAcrossMidnight()
{
    if (qEnvironmentVariableIsEmpty("VORMANT_FAKED_MIDNIGHT"))
        QSKIP("needs a wall clock set just before midnight (the tst_pause_midnight test)");

    const QTime before = QTime::currentTime();
    QVERIFY2(before >= QTime(23, 59, 50), qPrintable(before.toString()));

    QElapsedTimer clock;
    clock.start();
    Pause(3.0);
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;

    const QTime after = QTime::currentTime();
    QVERIFY2(after < QTime(0, 1), qPrintable(after.toString())); // the day did change
    QVERIFY(elapsed >= 3.0);
    QVERIFY2(elapsed < 30.0, qPrintable(QString::number(elapsed)));
}

QTEST_MAIN(tst_Pause)
#include "tst_pause.moc"
