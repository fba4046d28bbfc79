#include "printing/FileSizeLimit.h"
#include "printing/PdfTools.h"
#include "printing/ScriptedPrintDialog.h"

#include "platform/StatusLog.h"
#include "platform/printer/PrinterFile.h"
#include "printing/modPrinter.h"
#include "support/EngineRun.h"
#include "support/Expectations.h"
#include "support/ScriptedServer.h"
#include "support/TestServices.h"
#include "util/Colors.h"

#include <QtTest>

// The real printing path: the real current printer and its QPrinter, the
// file printer writing a PDF, read back with poppler's tools. Only the user
// in the dialog is scripted.
class tst_PrintPdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void startsOnTheFilePrinterWithoutPrinters();
    void realRunIsPrintedInOrder();
    void longLogFillsPagesInOrder();
    void emptyLogMakesOneBlankPage();
    void printedBlackOnWhite();
    void paperAndOrientation_data();
    void paperAndOrientation();
    void codesThatLeaveTheSettingAsItIs();
    void refusedCode_data();
    void refusedCode();
    void unwritableFileIsReportedAndLosesNothing();
    void failurePartWayLeavesNoFile();

private:
    QString pdfPath(const QString &name) const { return m_dir.filePath(name); }
    // Prints the log through the dialog onto the file printer, into path.
    void printToFile(StatusLog &log, const QString &path, DialogScript script = {});

    QTemporaryDir m_dir;
    QStringList m_events;
    QStringList m_boxes;
    // For the whole test, as the program's are for the whole program: the
    // printer chosen by one test is current in the next.
    TestServices m_services;
};

namespace {
void FillDialogue(StatusLog &log, int replies)
{
    log.SetText(QString());
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));
    for (int i = 1; i <= replies; ++i) {
        log.SetSelColor(Colors::Yellow);
        log.InsertText(QStringLiteral("250 reply number %1 from the server\r\n\r\n")
                           .arg(i, 4, 10, QChar('0')));
        log.SetSelColor(Colors::White);
        log.InsertText(QStringLiteral("COMMAND %1\r\n").arg(i, 4, 10, QChar('0')));
    }
}

QStringList Lines(const StatusLog &log)
{
    return log.Text().split(QStringLiteral("\r\n"));
}
} // namespace

void tst_PrintPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The printers of this machine, if any, stay out of it: a print server
    // that does not exist leaves the file printer alone.
    qputenv("CUPS_SERVER", m_dir.filePath(QStringLiteral("no-cupsd.sock")).toLocal8Bit());
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is missing");
}

void tst_PrintPdf::init()
{
    m_events.clear();
    m_boxes.clear();
    m_services.whileBoxOpen = [this](const TestServices::Box &box) { m_boxes.append(box.text); };
}

void tst_PrintPdf::printToFile(StatusLog &log, const QString &path, DialogScript script)
{
    script.printerName = PrintToFile::DeviceName();
    // As the real dialog does when the user picks the file.
    script.whileOpen = [this, path] { m_services.FilePrinter().SetOutputFile(path); };
    ScriptedDialogs dialogs(m_services, {script}, m_events);
    modPrinter::PrintLog(log);
}

void tst_PrintPdf::startsOnTheFilePrinterWithoutPrinters()
{
    StatusLog log;
    FillDialogue(log, 1);
    const QString path = pdfPath(QStringLiteral("first.pdf"));

    printToFile(log, path);

    QVERIFY(m_events.contains(QStringLiteral("Dialog:PrinterName=Print to File (PDF)")));
    QCOMPARE(m_boxes, QStringList());
    QVERIFY(QFile::exists(path));

    // The next dialog starts on the file printer and the file it wrote.
    m_events.clear();
    DialogScript cancel;
    cancel.confirm = false;
    ScriptedDialogs dialogs(m_services, {cancel}, m_events);
    modPrinter::PrintLog(log);
    QVERIFY(m_events.contains(QStringLiteral("Dialog:PrinterName=Print to File (PDF)")));
    QVERIFY(m_events.contains(QStringLiteral("Dialog:Port=") + path));
}

void tst_PrintPdf::realRunIsPrintedInOrder()
{
    ScriptedServer server(ScriptedServer::AcceptingScript(true));
    EngineRun run(m_services, EngineRun::On::Form);
    run.fill(QStringLiteral("Printed test"), QStringLiteral("bob@example.com"),
             QStringLiteral("bob"), QStringLiteral("secret"), server.address());
    run.clickTest();
    QVERIFY(run.waitForRunEnd());
    StatusLog &log = *run.window().rtbStatus;
    QVERIFY(Lines(log).size() > 20);
    const QString path = pdfPath(QStringLiteral("run.pdf"));

    printToFile(log, path);

    QCOMPARE(run.boxTexts(), Expect::Sent);
    const QString text = PdfTools::Text(path);
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    QCOMPARE(PdfTools::FirstMissingInOrder(Lines(log), text), QString());
}

void tst_PrintPdf::longLogFillsPagesInOrder()
{
    StatusLog log;
    FillDialogue(log, 150);
    log.InsertText(QStringLiteral("Subject: ") + QString(700, u'x') + QStringLiteral(" end\r\n"));
    log.InsertText(QStringLiteral("the last line\r\n"));
    const QString path = pdfPath(QStringLiteral("long.pdf"));

    printToFile(log, path);

    QCOMPARE(m_boxes, QStringList());
    QVERIFY2(PdfTools::PageCount(path) >= 5,
             qPrintable(QString::number(PdfTools::PageCount(path))));
    QCOMPARE(PdfTools::FirstMissingInOrder(Lines(log), PdfTools::Text(path)), QString());
}

void tst_PrintPdf::emptyLogMakesOneBlankPage()
{
    StatusLog log;
    const QString path = pdfPath(QStringLiteral("empty.pdf"));

    printToFile(log, path);

    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(PdfTools::PageCount(path), 1);
    QCOMPARE(PdfTools::Text(path).trimmed(), QString());
}

void tst_PrintPdf::printedBlackOnWhite()
{
    StatusLog log;
    FillDialogue(log, 10);
    const QString path = pdfPath(QStringLiteral("colours.pdf"));
    DialogScript colour;
    colour.colorMode = 2;

    printToFile(log, path, colour);

    const QImage page = PdfTools::FirstPage(path);
    QVERIFY(!page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor pixel = page.pixelColor(x, y);
            QVERIFY2(qAbs(pixel.red() - pixel.green()) <= 8 &&
                         qAbs(pixel.green() - pixel.blue()) <= 8,
                     qPrintable(QStringLiteral("coloured pixel at %1,%2").arg(x).arg(y)));
            if (pixel.lightness() < 100)
                ++dark;
        }
    }
    QVERIFY(dark > 0);
    QCOMPARE(page.pixelColor(0, 0), QColor(Qt::white));
}

void tst_PrintPdf::paperAndOrientation_data()
{
    QTest::addColumn<int>("paperSize");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSizeF>("points");

    QTest::newRow("A4 portrait") << 9 << 1 << QSizeF(595.3, 841.9);
    QTest::newRow("Letter portrait") << 1 << 1 << QSizeF(612, 792);
    QTest::newRow("Legal portrait") << 5 << 1 << QSizeF(612, 1008);
    QTest::newRow("A5 portrait") << 11 << 1 << QSizeF(419.5, 595.3);
    QTest::newRow("A4 landscape") << 9 << 2 << QSizeF(841.9, 595.3);
    QTest::newRow("A3, orientation 0 is landscape") << 8 << 0 << QSizeF(1190.6, 841.9);
    QTest::newRow("Letter, orientation -1 is landscape") << 1 << -1 << QSizeF(792, 612);
}

void tst_PrintPdf::paperAndOrientation()
{
    QFETCH(int, paperSize);
    QFETCH(int, orientation);
    QFETCH(QSizeF, points);

    StatusLog log;
    FillDialogue(log, 2);
    const QString path = pdfPath(QStringLiteral("paper.pdf"));
    DialogScript script;
    script.paperSize = std::int16_t(paperSize);
    script.orientation = std::int16_t(orientation);

    printToFile(log, path, script);

    QCOMPARE(m_boxes, QStringList());
    const QSizeF size = PdfTools::PageSize(path);
    QVERIFY2(qAbs(size.width() - points.width()) < 1 && qAbs(size.height() - points.height()) < 1,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    QCOMPARE(PdfTools::FirstMissingInOrder(Lines(log), PdfTools::Text(path)), QString());
}

void tst_PrintPdf::codesThatLeaveTheSettingAsItIs()
{
    StatusLog log;
    FillDialogue(log, 2);
    DialogScript letter;
    letter.paperSize = 1;
    printToFile(log, pdfPath(QStringLiteral("letter.pdf")), letter);

    // 256, a size of the user's own, keeps Letter; a quality of -3 (medium)
    // keeps the resolution; the other codes are all in their ranges.
    DialogScript keep;
    keep.paperSize = 256;
    keep.printQuality = -3;
    keep.duplex = 3;
    keep.paperBin = 256;
    keep.colorMode = 0;
    const QString path = pdfPath(QStringLiteral("kept.pdf"));
    printToFile(log, path, keep);

    QCOMPARE(m_boxes, QStringList());
    const QSizeF size = PdfTools::PageSize(path);
    QVERIFY2(qAbs(size.width() - 612) < 1 && qAbs(size.height() - 792) < 1,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

void tst_PrintPdf::refusedCode_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("code");

    QTest::newRow("no copies") << "Copies" << 0;
    QTest::newRow("negative copies") << "Copies" << -2;
    QTest::newRow("duplex 0") << "Duplex" << 0;
    QTest::newRow("duplex 4") << "Duplex" << 4;
    QTest::newRow("paper bin 0") << "PaperBin" << 0;
    QTest::newRow("paper bin 12, no such tray") << "PaperBin" << 12;
    QTest::newRow("paper size 0") << "PaperSize" << 0;
    QTest::newRow("paper size unknown") << "PaperSize" << 9999;
    QTest::newRow("print quality 0") << "PrintQuality" << 0;
    QTest::newRow("print quality -5") << "PrintQuality" << -5;
}

void tst_PrintPdf::refusedCode()
{
    QFETCH(QString, setting);
    QFETCH(int, code);

    StatusLog log;
    FillDialogue(log, 2);
    const QString before = log.Text();
    DialogScript script;
    const std::int16_t value = std::int16_t(code);
    if (setting == "Copies")
        script.copies = value;
    else if (setting == "Duplex")
        script.duplex = value;
    else if (setting == "PaperBin")
        script.paperBin = value;
    else if (setting == "PaperSize")
        script.paperSize = value;
    else
        script.printQuality = value;
    const QString path = pdfPath(QStringLiteral("refused-%1-%2.pdf").arg(setting).arg(code));

    printToFile(log, path, script);

    QCOMPARE(m_boxes, QStringList{QStringLiteral("Printer Error!\r\nError Number: 380\r\n"
                                                 "The printer does not accept %1 = %2")
                                      .arg(setting)
                                      .arg(code)});
    QVERIFY(!QFile::exists(path));
    QCOMPARE(log.Text(), before);
}

void tst_PrintPdf::unwritableFileIsReportedAndLosesNothing()
{
    StatusLog log;
    FillDialogue(log, 3);
    const QString before = log.Text();
    const QString nowhere = pdfPath(QStringLiteral("no-such-folder/log.pdf"));

    printToFile(log, nowhere);

    QCOMPARE(m_boxes, QStringList{QStringLiteral("Printer Error!\r\nError Number: 482\r\n"
                                                 "Cannot start the document on the file \"%1\"")
                                      .arg(nowhere)});
    QCOMPARE(log.Text(), before);

    // The next Print, into a file that can be written, has the whole log.
    m_boxes.clear();
    const QString path = pdfPath(QStringLiteral("second-try.pdf"));
    printToFile(log, path);
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(PdfTools::FirstMissingInOrder(Lines(log), PdfTools::Text(path)), QString());
}

// The disk fills up after the first page: the user is told, and no half
// document is left where the whole one was to go.
void tst_PrintPdf::failurePartWayLeavesNoFile()
{
    StatusLog log;
    FillDialogue(log, 400);
    const QString path = pdfPath(QStringLiteral("full-disk.pdf"));
    const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    {
        const FileSizeLimit diskFull(4096);
        printToFile(log, path);
    }

    QCOMPARE(m_boxes, QStringList{QStringLiteral("Printer Error!\r\nError Number: 482\r\n"
                                                 "Cannot start a new page on the file \"%1\"")
                                      .arg(path)});
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
}

QTEST_MAIN(tst_PrintPdf)
#include "tst_printpdf.moc"
