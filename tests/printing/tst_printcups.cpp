#include "printing/CupsDaemon.h"
#include "printing/FileSizeLimit.h"
#include "printing/PdfTools.h"
#include "printing/PrintDialogDriver.h"
#include "printing/ScriptedPrintDialog.h"

#include "platform/StatusLog.h"
#include "platform/printer/PrintDialogQt.h"
#include "printing/modPrinter.h"
#include "support/TestServices.h"
#include "util/Colors.h"

#include <QComboBox>
#include <QPrinterInfo>
#include <QtTest>

#include <pwd.h>

// Printing on a CUPS queue, as users of Linux print: a print server of the
// test's own with a PDF queue (cups-pdf), chosen in the printer dialog. The
// PDF that the queue writes must hold the log's text.
class tst_PrintCups : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void realDialogOffersTheQueue();
    void printsOnTheChosenQueue();
    void failurePartWayQueuesNothing();
    void queueGoneIsReported();

private:
    QStringList outputsWith(const QString &marker) const;
    QStringList jobs() const;

    CupsDaemon m_cups{QStringLiteral("Vormant_Test_%1").arg(QCoreApplication::applicationPid())};
    QString m_outputDir;
    QDateTime m_started;
    QStringList m_outputs;
    QStringList m_events;
    QStringList m_boxes;
    // For the whole test, as the program's are for the whole program: the
    // printer chosen by one test is current in the next.
    TestServices m_services;
};

namespace {
// Jobs of a user the system does not know go to cups-pdf's folder for
// anonymous jobs, not into somebody's home.
const char *const JobUser = "vormant-print-test";

QString AnonymousOutputDir()
{
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        const QRegularExpression setting(QStringLiteral("^AnonDirName\\s+(\\S+)"),
                                         QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = setting.match(QString::fromUtf8(conf.readAll()));
        if (match.hasMatch())
            return match.captured(1);
    }
    return QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
}

void FillDialogue(StatusLog &log, const QString &marker)
{
    const QStringList replies{QStringLiteral("220 mail.example.com ESMTP"),
                              QStringLiteral("250 mail.example.com"),
                              QStringLiteral("250 2.1.0 Ok"), QStringLiteral("250 2.1.5 Ok"),
                              QStringLiteral("354 End data with <CR><LF>.<CR><LF>")};
    const QStringList commands{QStringLiteral("HELO bob"), QStringLiteral("MAIL FROM:<>"),
                               QStringLiteral("RCPT TO:<bob@example.com>"), QStringLiteral("DATA"),
                               QStringLiteral("Subject: Vormant\r\n.")};
    log.SetText(QString());
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));
    for (qsizetype i = 0; i < replies.size(); ++i) {
        log.SetSelColor(Colors::Yellow);
        log.InsertText(replies.at(i) + QStringLiteral("\r\n\r\n"));
        log.SetSelColor(Colors::White);
        log.InsertText(commands.at(i) + QStringLiteral("\r\n"));
    }
    log.SetSelColor(Colors::Yellow);
    log.InsertText(QStringLiteral("250 2.0.0 Ok: queued as %1\r\n\r\n").arg(marker));
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("QUIT\r\n"));
    log.SetSelColor(Colors::Yellow);
    log.InsertText(QStringLiteral("221 2.0.0 Bye\r\n\r\n"));
}
} // namespace

void tst_PrintCups::initTestCase()
{
    QVERIFY2(!::getpwnam(JobUser), "the test's job user must be unknown to the system");
    const QString problem = m_cups.start();
    if (!problem.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no print server of the test's own: ") + problem));
    // Before the first look at the printers, so that Qt's CUPS support talks
    // to this server only.
    qputenv("CUPS_SERVER", QFile::encodeName(m_cups.socketPath()));
    qputenv("CUPS_USER", JobUser);
    m_outputDir = AnonymousOutputDir();
    m_started = QDateTime::currentDateTime().addSecs(-2);
}

void tst_PrintCups::init()
{
    m_events.clear();
    m_boxes.clear();
    m_services.whileBoxOpen = [this](const TestServices::Box &box) { m_boxes.append(box.text); };
}

QStringList tst_PrintCups::outputsWith(const QString &marker) const
{
    QStringList found;
    const QFileInfoList files =
        QDir(m_outputDir).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.lastModified() >= m_started && PdfTools::Text(file.filePath()).contains(marker))
            found.append(file.filePath());
    }
    return found;
}

void tst_PrintCups::printsOnTheChosenQueue()
{
    QVERIFY2(!m_cups.leftovers().isEmpty(), "the running server is not seen");
    QVERIFY2(QPrinterInfo::availablePrinterNames().contains(m_cups.queueName()),
             qPrintable(QPrinterInfo::availablePrinterNames().join(", ")));
    const QString marker = QUuid::createUuid().toString(QUuid::WithoutBraces);
    StatusLog log;
    FillDialogue(log, marker);
    DialogScript choose;
    choose.printerName = m_cups.queueName().toLower(); // as a user might type it
    choose.paperSize = 9;
    ScriptedDialogs dialogs(m_services, {choose}, m_events);

    modPrinter::PrintLog(log);

    QCOMPARE(m_boxes, QStringList());
    QVERIFY(m_events.contains(QStringLiteral("Dialog:Release")));
    QTRY_VERIFY2_WITH_TIMEOUT(!(m_outputs = outputsWith(marker)).isEmpty(),
                              qPrintable(m_cups.errorLog()), 60000);
    QCOMPARE(m_outputs.size(), 1);
    const QString text = PdfTools::Text(m_outputs.first());
    QCOMPARE(PdfTools::FirstMissingInOrder(log.Text().split(QStringLiteral("\r\n")), text),
             QString());
}

// Every job the server has had on the queue, finished ones too.
QStringList tst_PrintCups::jobs() const
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"),
                                            QStringLiteral("-o"), m_cups.queueName()});
    if (!lpstat.waitForFinished(30000) || lpstat.exitCode() != 0)
        return {QStringLiteral("lpstat failed: ") +
                QString::fromLocal8Bit(lpstat.readAllStandardError())};
    return QString::fromLocal8Bit(lpstat.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The disk fills up after the first page: the user is told, and the queue
// gets no job, not even half of one.
void tst_PrintCups::failurePartWayQueuesNothing()
{
    StatusLog log;
    FillDialogue(log, QStringLiteral("never printed"));
    for (int i = 1; i <= 1500; ++i)
        log.InsertText(QStringLiteral("line %1 of a long log\r\n").arg(i));
    DialogScript choose;
    choose.printerName = m_cups.queueName();
    ScriptedDialogs dialogs(m_services, {choose}, m_events);
    const QStringList jobsBefore = jobs();
    QVERIFY2(!jobsBefore.isEmpty(), "the queue shows no job of the test before");
    {
        const FileSizeLimit diskFull(4096);
        modPrinter::PrintLog(log);
    }

    QCOMPARE(m_boxes, QStringList{QStringLiteral("Printer Error!\r\nError Number: 482\r\n"
                                                 "Cannot start a new page on the printer \"%1\"")
                                      .arg(m_cups.queueName())});
    QCOMPARE(jobs(), jobsBefore);
}

void tst_PrintCups::realDialogOffersTheQueue()
{
    QtPrintDialog component(m_services.FilePrinter());
    component.SetPrinterName(m_cups.queueName());
    component.SetFlags(268);
    QStringList offered;
    QString startsOn;
    WhenPrintDialogOpens(this, [&](QPrintDialog &dialog) {
        const auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printers"));
        for (int i = 0; i < printers->count(); ++i)
            offered.append(printers->itemText(i));
        startsOn = printers->currentText();
        dialog.accept();
    });

    QVERIFY(component.Show(nullptr));

    QVERIFY2(offered.contains(m_cups.queueName()), qPrintable(offered.join(", ")));
    QVERIFY2(offered.contains(QStringLiteral("Print to File (PDF)")),
             qPrintable(offered.join(", ")));
    QCOMPARE(startsOn, m_cups.queueName());
    QCOMPARE(component.PrinterName(), m_cups.queueName());
}

void tst_PrintCups::queueGoneIsReported()
{
    // The queue chosen before is the current printer; now its server is gone.
    QVERIFY(m_cups.stop());
    StatusLog log;
    FillDialogue(log, QStringLiteral("never printed"));
    const QString before = log.Text();
    DialogScript same;
    same.printerName = m_cups.queueName();
    ScriptedDialogs dialogs(m_services, {same}, m_events);

    modPrinter::PrintLog(log);

    QVERIFY(m_events.contains(QStringLiteral("Dialog:PrinterName=") + m_cups.queueName()));
    QCOMPARE(m_boxes, QStringList{QStringLiteral("Printer Error!\r\nError Number: 482\r\n"
                                                 "The printer \"%1\" is not available")
                                      .arg(m_cups.queueName())});
    QCOMPARE(log.Text(), before);
}

void tst_PrintCups::cleanupTestCase()
{
    QVERIFY(m_cups.stop());
    // Nothing of the server outlives the test: no daemon, filter or backend.
    QTRY_COMPARE_WITH_TIMEOUT(m_cups.leftovers(), QList<qint64>(), 30000);
    for (const QString &path : std::as_const(m_outputs))
        QFile::remove(path);
    QFile::remove(QStringLiteral("/var/log/cups/cups-pdf-%1_log").arg(m_cups.queueName()));
}

QTEST_MAIN(tst_PrintCups)
#include "tst_printcups.moc"
