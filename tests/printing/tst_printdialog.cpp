#include "printing/PrintDialogDriver.h"

#include "platform/printer/PrintDialogQt.h"
#include "platform/printer/PrinterCodes.h"
#include "platform/printer/PrinterFile.h"

#include <QLineEdit>
#include <QPrintDialog>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

// The real printer dialog, closed by the test the way a user would close it:
// where it starts, which choices it offers, and what it hands back.
class tst_PrintDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void offersWhatTheFlagsAllow_data();
    void offersWhatTheFlagsAllow();
    void confirmedFilePrinterIsHandedBack();
    void cancelledReturnsFalse();

private:
    QTemporaryDir m_dir;
    PrintToFile m_file;
};

void tst_PrintDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The printers of this machine stay out of it.
    qputenv("CUPS_SERVER", m_dir.filePath(QStringLiteral("no-cupsd.sock")).toLocal8Bit());
}

void tst_PrintDialog::offersWhatTheFlagsAllow_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("selection");
    QTest::addColumn<bool>("pageRange");
    QTest::newRow("268: neither a selection nor pages") << 268 << false << false;
    QTest::newRow("0: both") << 0 << true << true;
    QTest::newRow("4: pages only") << 4 << false << true;
}

void tst_PrintDialog::offersWhatTheFlagsAllow()
{
    QFETCH(int, flags);
    QFETCH(bool, selection);
    QFETCH(bool, pageRange);

    QWidget owner;
    QtPrintDialog component(m_file);
    component.SetFlags(flags);
    QAbstractPrintDialog::PrintDialogOptions seen;
    QWidget *parentSeen = nullptr;
    WhenPrintDialogOpens(this, [&](QPrintDialog &dialog) {
        seen = dialog.options();
        parentSeen = dialog.parentWidget();
        dialog.reject();
    });

    QVERIFY(!component.Show(&owner));

    QCOMPARE(parentSeen, &owner);
    QCOMPARE(seen.testFlag(QAbstractPrintDialog::PrintSelection), selection);
    QCOMPARE(seen.testFlag(QAbstractPrintDialog::PrintPageRange), pageRange);
    QVERIFY(seen.testFlag(QAbstractPrintDialog::PrintToFile));
}

void tst_PrintDialog::confirmedFilePrinterIsHandedBack()
{
    const QString chosenFile = m_dir.filePath(QStringLiteral("chosen.pdf"));
    m_file.SetOutputFile(m_dir.filePath(QStringLiteral("start.pdf")));
    QtPrintDialog component(m_file);
    component.SetPrinterName(PrintToFile::DeviceName());
    component.SetPaperBin(7);
    component.SetFlags(268);
    QString startFile;
    WhenPrintDialogOpens(this, [&](QPrintDialog &dialog) {
        startFile = dialog.findChild<QLineEdit *>(QStringLiteral("filename"))->text();
        // What a user does: another file, three copies, grey scale.
        dialog.findChild<QLineEdit *>(QStringLiteral("filename"))->setText(chosenFile);
        dialog.findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(3);
        dialog.findChild<QRadioButton *>(QStringLiteral("grayscale"))->setChecked(true);
        dialog.accept();
    });

    QVERIFY(component.Show(nullptr));

    QCOMPARE(startFile, m_dir.filePath(QStringLiteral("start.pdf")));
    QCOMPARE(component.PrinterName(), PrintToFile::DeviceName());
    QCOMPARE(m_file.OutputFile(), chosenFile);
    QCOMPARE(component.Copies(), std::int16_t(3));
    QCOMPARE(component.Duplex(), PrinterCodes::Simplex); // a file has no sides
    QCOMPARE(component.ColorMode(), PrinterCodes::Monochrome);
    QCOMPARE(component.Orientation(), PrinterCodes::Portrait);
    QCOMPARE(component.PaperBin(), PrinterCodes::AutomaticBin);
    // Whatever paper and resolution it hands back, the printer takes.
    QVERIFY(PrinterCodes::PageSize(component.PaperSize()).has_value());
    QVERIFY(PrinterCodes::Resolution(component.PrintQuality()).has_value());
}

void tst_PrintDialog::cancelledReturnsFalse()
{
    m_file.SetOutputFile(m_dir.filePath(QStringLiteral("kept.pdf")));
    QtPrintDialog component(m_file);
    component.SetPrinterName(PrintToFile::DeviceName());
    WhenPrintDialogOpens(this, [](QPrintDialog &dialog) {
        dialog.printer()->setOutputFileName(QStringLiteral("/tmp/not-chosen.pdf"));
        dialog.reject();
    });

    QVERIFY(!component.Show(nullptr));
    QCOMPARE(m_file.OutputFile(), m_dir.filePath(QStringLiteral("kept.pdf")));
}

QTEST_MAIN(tst_PrintDialog)
#include "tst_printdialog.moc"
