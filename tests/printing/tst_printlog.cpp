#include "printing/PrintFixture.h"
#include "printing/ScriptedPrintDialog.h"

#include "app/Module1.h"
#include "app/frmMain.h"
#include "printing/modPrinter.h"
#include "util/Colors.h"

#include <QtTest>
#include <memory>

// Printing the log, from the Print command to the printer, with a scripted
// dialog and a recording printer in place of the user and the hardware.
class tst_PrintLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void confirmedDialogRunsInOrder();
    void cancelPrintsNothing();
    void choosePrinter_data();
    void choosePrinter();
    void nextPrintStartsFrom_data();
    void nextPrintStartsFrom();
    void emptyLogStillMakesADocument();
    void dialogUnavailable();
    void refusedSetting_data();
    void refusedSetting();
    void failure_data();
    void failure();
    void failureWhileDiscarding_data();
    void failureWhileDiscarding();
    void printButtonPrintsTheLog();

private:
    std::unique_ptr<frmMain> m_window;
};

namespace {
const QString Flags = QStringLiteral("Dialog:Flags=268");

DialogScript Confirm(const QString &printerName)
{
    DialogScript script;
    script.printerName = printerName;
    script.copies = 2;
    script.orientation = 2;
    script.colorMode = 1;
    script.duplex = 3;
    script.paperBin = 5;
    script.paperSize = 8;
    script.printQuality = 600;
    return script;
}

DialogScript Cancel()
{
    DialogScript script;
    script.confirm = false;
    return script;
}

void FillLog(StatusLog &log)
{
    log.SetText(QString());
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("Connecting to SMTP Server, please wait ..\r\n"));
    log.SetSelColor(Colors::Yellow);
    log.InsertText(QStringLiteral("220 mail.example.com ESMTP\r\n\r\n"));
    log.SetSelColor(Colors::White);
    log.InsertText(QStringLiteral("HELO bob\r\n"));
}

const QString LogText = QStringLiteral(
    "Connecting to SMTP Server, please wait ..\r\n220 mail.example.com ESMTP\r\n\r\nHELO bob\r\n");

QString ErrorBox(int number, const QString &description)
{
    return QStringLiteral("Printer Error!\r\nError Number: %1\r\n%2").arg(number).arg(description);
}

const QStringList AllSettings{QStringLiteral("Copies"),      QStringLiteral("Orientation"),
                              QStringLiteral("ColorMode"),   QStringLiteral("Duplex"),
                              QStringLiteral("PaperBin"),    QStringLiteral("PaperSize"),
                              QStringLiteral("PrintQuality")};
} // namespace

void tst_PrintLog::initTestCase()
{
    m_window = std::make_unique<frmMain>();
    Module1::MainForm = m_window.get();
    Module1::SetWindow(m_window.get());
}

void tst_PrintLog::cleanupTestCase()
{
    Module1::MainForm = nullptr;
    m_window.reset();
}

namespace {
// What every Print does up to the dialog's answer, starting from the printer "Home".
QStringList DialogPrefix()
{
    return {QStringLiteral("Dialog:Create"),
            QStringLiteral("Dialog:PrinterName=Home"),
            QStringLiteral("Dialog:DriverName=HomeDriver"),
            QStringLiteral("Dialog:Port=HomePort"),
            QStringLiteral("Dialog:PaperBin=2"),
            Flags,
            QStringLiteral("FollowDefault=false"),
            QStringLiteral("Dialog:Show")};
}
} // namespace

void tst_PrintLog::confirmedDialogRunsInOrder()
{
    PrintFixture f;
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Confirm(QStringLiteral("Home"))}, f.events);

    modPrinter::PrintLog(f.log, m_window.get());

    const QStringList expected = DialogPrefix() + QStringList{
                                                      QStringLiteral("Dialog:Read PrinterName"),
                                                      QStringLiteral("Dialog:Read Copies"),
                                                      QStringLiteral("Copies=2"),
                                                      QStringLiteral("Dialog:Read Orientation"),
                                                      QStringLiteral("Orientation=2"),
                                                      QStringLiteral("Dialog:Read ColorMode"),
                                                      QStringLiteral("ColorMode=1"),
                                                      QStringLiteral("Dialog:Read Duplex"),
                                                      QStringLiteral("Duplex=3"),
                                                      QStringLiteral("Dialog:Read PaperBin"),
                                                      QStringLiteral("PaperBin=5"),
                                                      QStringLiteral("Dialog:Read PaperSize"),
                                                      QStringLiteral("PaperSize=8"),
                                                      QStringLiteral("Dialog:Read PrintQuality"),
                                                      QStringLiteral("PrintQuality=600"),
                                                      QStringLiteral("Dialog:Release"),
                                                      QStringLiteral("Print@Home:") + LogText,
                                                      QStringLiteral("EndDoc@Home"),
                                                  };
    QCOMPARE(f.events, expected);
    QCOMPARE(dialogs.lastOwner(), static_cast<QWidget *>(m_window.get()));
    QVERIFY(f.boxes.isEmpty());
}

void tst_PrintLog::cancelPrintsNothing()
{
    PrintFixture f;
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Cancel()}, f.events);

    modPrinter::PrintLog(f.log);

    const QStringList expected = DialogPrefix() + QStringList{
                                                      QStringLiteral("Dialog:Release"),
                                                  };
    QCOMPARE(f.events, expected);
    QVERIFY(f.boxes.isEmpty());
    QCOMPARE(f.printer.current(), QStringLiteral("Home"));
}

void tst_PrintLog::choosePrinter_data()
{
    QTest::addColumn<QStringList>("extraPrinters");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("listWalked");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("printedOn");

    QTest::newRow("the current printer")
        << QStringList{} << "Home" << false << QStringList{} << "Home";
    QTest::newRow("the current printer, other letter case")
        << QStringList{} << "hOME" << false << QStringList{} << "Home";
    QTest::newRow("another printer")
        << QStringList{} << "Office" << true << QStringList{"Select:Office"} << "Office";
    QTest::newRow("another printer, other letter case")
        << QStringList{} << "oFFICE" << true << QStringList{"Select:Office"} << "Office";
    QTest::newRow("no installed printer of that name")
        << QStringList{} << "Garage" << true << QStringList{} << "Home";
    QTest::newRow("several of that name: the last wins")
        << QStringList{"Laser", "Plotter", "LASER", "laser"} << "LaSeR" << true
        << QStringList{"Select:Laser", "Select:LASER", "Select:laser"} << "laser";
}

void tst_PrintLog::choosePrinter()
{
    QFETCH(QStringList, extraPrinters);
    QFETCH(QString, chosen);
    QFETCH(bool, listWalked);
    QFETCH(QStringList, selected);
    QFETCH(QString, printedOn);

    PrintFixture f(extraPrinters);
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Confirm(chosen)}, f.events);

    modPrinter::PrintLog(f.log);

    QCOMPARE(f.events.contains(QStringLiteral("List")), listWalked);
    QCOMPARE(f.eventsStartingWith(QStringLiteral("Select:")), selected);
    QCOMPARE(f.printer.current(), printedOn);
    // The choice is made before any setting is written, and all seven go to
    // the printer the log is printed on.
    for (const QString &select : selected)
        QVERIFY(f.indexOf(select) < f.indexOf(QStringLiteral("Copies=2")));
    const QMap<QString, int> written{{"Copies", 2},        {"Orientation", 2}, {"ColorMode", 1},
                                     {"Duplex", 3},        {"PaperBin", 5},    {"PaperSize", 8},
                                     {"PrintQuality", 600}};
    QCOMPARE(f.printer.settingsOf(printedOn), written);
    QCOMPARE(f.eventsStartingWith(QStringLiteral("Print@")),
             QStringList{QStringLiteral("Print@%1:%2").arg(printedOn, LogText)});
    QCOMPARE(f.events.last(), QStringLiteral("EndDoc@") + printedOn);
    QVERIFY(f.boxes.isEmpty());
}

void tst_PrintLog::nextPrintStartsFrom_data()
{
    QTest::addColumn<DialogScript>("first");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QStringList>("secondStartsOn");

    const QStringList office{"Dialog:PrinterName=Office", "Dialog:DriverName=OfficeDriver",
                             "Dialog:Port=OfficePort", "Dialog:PaperBin=5"};
    const QStringList home{"Dialog:PrinterName=Home", "Dialog:DriverName=HomeDriver",
                           "Dialog:Port=HomePort", "Dialog:PaperBin=2"};
    QTest::newRow("another printer chosen") << Confirm("office") << QString() << office;
    QTest::newRow("first dialog cancelled") << Cancel() << QString() << home;
    // The paper bin comes after Duplex, so Office keeps its own.
    QStringList officeOwnBin = office;
    officeOwnBin.last() = "Dialog:PaperBin=4";
    QTest::newRow("first failed after choosing")
        << Confirm("Office") << QStringLiteral("Duplex") << officeOwnBin;
}

void tst_PrintLog::nextPrintStartsFrom()
{
    QFETCH(DialogScript, first);
    QFETCH(QString, refused);
    QFETCH(QStringList, secondStartsOn);

    PrintFixture f;
    f.printer.refuse(refused);
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {first, Cancel()}, f.events);

    modPrinter::PrintLog(f.log);
    const qsizetype secondStart = f.events.size();
    modPrinter::PrintLog(f.log);

    QCOMPARE(dialogs.created(), 2);
    QCOMPARE(f.events.mid(secondStart + 1, 4), secondStartsOn);
}

void tst_PrintLog::emptyLogStillMakesADocument()
{
    PrintFixture f;
    ScriptedDialogs dialogs(f.services, {Confirm(QStringLiteral("Home"))}, f.events);

    modPrinter::PrintLog(f.log);

    QCOMPARE(f.events.mid(f.events.size() - 2),
             (QStringList{QStringLiteral("Print@Home:"), QStringLiteral("EndDoc@Home")}));
    QVERIFY(f.boxes.isEmpty());
}

void tst_PrintLog::dialogUnavailable()
{
    PrintFixture f;
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {}, f.events); // no dialog can be created

    modPrinter::PrintLog(f.log);

    const QString box = ErrorBox(429, QStringLiteral("The printer dialog is not available"));
    QCOMPARE(f.events, (QStringList{QStringLiteral("Box:") + box, QStringLiteral("KillDoc@Home")}));
    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes.first().style, 0);
    QCOMPARE(f.boxes.first().title, QStringLiteral("Vormant"));
}

void tst_PrintLog::refusedSetting_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("refusedWrite");
    const QStringList values{"2", "2", "1", "3", "5", "8", "600"};
    for (qsizetype i = 0; i < AllSettings.size(); ++i)
        QTest::newRow(qPrintable(AllSettings.at(i)))
            << AllSettings.at(i) << AllSettings.at(i) + " = " + values.at(i);
}

void tst_PrintLog::refusedSetting()
{
    QFETCH(QString, refused);
    QFETCH(QString, refusedWrite);

    PrintFixture f;
    f.printer.refuse(refused);
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Confirm(QStringLiteral("Office"))}, f.events);

    modPrinter::PrintLog(f.log);

    // Those before the refused setting stay written, none after it is.
    const QStringList before = AllSettings.mid(0, AllSettings.indexOf(refused));
    QCOMPARE(f.printer.settingsOf(QStringLiteral("Office")).keys(), [&] {
        QStringList sorted = before;
        sorted.sort();
        return sorted;
    }());
    const QString box =
        ErrorBox(380, QStringLiteral("The printer does not accept ") + refusedWrite);
    QCOMPARE(f.eventsStartingWith(QStringLiteral("Box:")), QStringList{"Box:" + box});
    QVERIFY(f.indexOf("Dialog:Release") < f.indexOf("Box:" + box));
    QCOMPARE(f.events.last(), QStringLiteral("KillDoc@Office"));
    QVERIFY(f.eventsStartingWith(QStringLiteral("Print@")).isEmpty());
    QVERIFY(f.eventsStartingWith(QStringLiteral("EndDoc@")).isEmpty());
}

void tst_PrintLog::failure_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("standardException");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("printed");

    QTest::newRow("printing fails")
        << "Home"
        << "Print" << 482 << "The printer \"Home\" is not available" << false
        << ErrorBox(482, "The printer \"Home\" is not available") << false;
    QTest::newRow("ending the document fails")
        << "Home"
        << "EndDoc" << 482 << "The document could not be sent" << false
        << ErrorBox(482, "The document could not be sent") << true;
    QTest::newRow("the printer list cannot be walked")
        << "Office"
        << "List" << 482 << "No printing system" << false << ErrorBox(482, "No printing system")
        << false;
    QTest::newRow("the chosen printer cannot be made current")
        << "Office"
        << "Select" << 482 << "The printer \"Office\" is not available" << false
        << ErrorBox(482, "The printer \"Office\" is not available") << false;
    QTest::newRow("a negative error number")
        << "Home"
        << "Print" << -2147024891 << "Access is denied." << false
        << "Printer Error!\r\nError Number: -2147024891\r\nAccess is denied." << false;
    QTest::newRow("an error number 0, an empty description")
        << "Home"
        << "EndDoc" << 0 << "" << false << "Printer Error!\r\nError Number: 0\r\n"
        << true;
    QTest::newRow("an unexpected failure") << "Home"
                                           << "EndDoc" << 0 << "out of paper memory" << true
                                           << ErrorBox(51, "out of paper memory") << true;
}

void tst_PrintLog::failure()
{
    QFETCH(QString, chosen);
    QFETCH(QString, operation);
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(bool, standardException);
    QFETCH(QString, box);
    QFETCH(bool, printed);

    PrintFixture f;
    f.printer.fail({operation, number, description, standardException});
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Confirm(chosen)}, f.events);

    QVERIFY_THROWS_NO_EXCEPTION(modPrinter::PrintLog(f.log));

    QCOMPARE(f.boxes.size(), 1);
    QCOMPARE(f.boxes.first().text, box);
    QCOMPARE(f.boxes.first().style, 0);
    QCOMPARE(f.boxes.first().title, QStringLiteral("Vormant"));
    QCOMPARE(f.events.contains(QStringLiteral("Dialog:Release")), true);
    QVERIFY(f.indexOf("Dialog:Release") < f.indexOf("Box:" + box));
    QVERIFY(f.events.last().startsWith(QStringLiteral("KillDoc@")));
    QCOMPARE(!f.eventsStartingWith(QStringLiteral("Print@")).isEmpty(), printed);
    QVERIFY(f.eventsStartingWith(QStringLiteral("EndDoc@")).isEmpty());
}

void tst_PrintLog::failureWhileDiscarding_data()
{
    QTest::addColumn<bool>("standardException");
    QTest::addColumn<QString>("secondBox");
    QTest::newRow("a printing failure") << false << ErrorBox(482, "No printer can be reached");
    QTest::newRow("an unexpected failure") << true << ErrorBox(51, "No printer can be reached");
}

void tst_PrintLog::failureWhileDiscarding()
{
    QFETCH(bool, standardException);
    QFETCH(QString, secondBox);

    PrintFixture f;
    f.printer.fail({"EndDoc", 482, "The document could not be sent", false});
    f.printer.fail({"KillDoc", 482, "No printer can be reached", standardException});
    FillLog(f.log);
    ScriptedDialogs dialogs(f.services, {Confirm(QStringLiteral("Home")), Cancel()}, f.events);

    QVERIFY_THROWS_NO_EXCEPTION(modPrinter::PrintLog(f.log));

    QCOMPARE(f.eventsStartingWith(QStringLiteral("Box:")),
             (QStringList{"Box:" + ErrorBox(482, "The document could not be sent"),
                          "Box:" + secondBox}));
    // The program goes on: the next Print works as ever.
    modPrinter::PrintLog(f.log);
    QCOMPARE(dialogs.created(), 2);
}

void tst_PrintLog::printButtonPrintsTheLog()
{
    PrintFixture f;
    FillLog(*m_window->rtbStatus);
    ScriptedDialogs dialogs(f.services, {Confirm(QStringLiteral("Home"))}, f.events);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->Command1->setFocus();

    m_window->Command1->click();

    QCOMPARE(f.eventsStartingWith(QStringLiteral("Print@")),
             QStringList{QStringLiteral("Print@Home:") + LogText});
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_window->txtOver));
    m_window->hide();
}

QTEST_MAIN(tst_PrintLog)
#include "tst_printlog.moc"
