#pragma once

#include "platform/printer/Printer.h"
#include "platform/printer/Printers.h"
#include "support/TestServices.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// A printing system of a few named printers that records, into the event
// list it shares with the scripted dialog, every change made to it: the
// follow-default setting, which printer was made current, each setting as it
// is written, every walk of the list, the documents and their end or abort.
// It can be told to refuse one setting or to fail one operation.
class RecordingPrinter final : public PrinterObject, public PrinterList
{
public:
    struct Device
    {
        QString name;
        QString driverName;
        QString port;
        std::int16_t paperBin = 7;
    };

    // An operation that fails: "Print", "EndDoc", "KillDoc", "List", "Select".
    struct Failure
    {
        QString operation;
        int number = 0;
        QString description;
        bool standardException = false; // std::runtime_error, not a RuntimeError
    };

    RecordingPrinter(QStringList &events, QList<Device> installed, const QString &current);

    // The setting ("Copies" ... "PrintQuality") the printer refuses.
    void refuse(const QString &setting) { m_refused = setting; }
    void fail(const Failure &failure) { m_failures.append(failure); }

    QString current() const { return m_current.name; }
    // The settings written to a printer so far, by name.
    QMap<QString, int> settingsOf(const QString &deviceName) const;

    QString DeviceName() const override { return m_current.name; }
    QString DriverName() const override { return m_current.driverName; }
    QString Port() const override { return m_current.port; }
    std::int16_t PaperBin() const override { return m_current.paperBin; }
    void SetFollowDefault(bool follow) override;
    void SelectDevice(const QString &deviceName) override;

    void SetCopies(std::int16_t value) override { write("Copies", value); }
    void SetOrientation(std::int16_t value) override { write("Orientation", value); }
    void SetColorMode(std::int16_t value) override { write("ColorMode", value); }
    void SetDuplex(std::int16_t value) override { write("Duplex", value); }
    void SetPaperBin(std::int16_t value) override;
    void SetPaperSize(std::int16_t value) override { write("PaperSize", value); }
    void SetPrintQuality(std::int16_t value) override { write("PrintQuality", value); }

    void Print(const QString &text) override;
    void EndDoc() override;
    void KillDoc() override;

    QStringList DeviceNames() const override;

private:
    void write(const QString &setting, std::int16_t value);
    void failIfTold(const QString &operation) const;

    QStringList &m_events;
    QList<Device> m_installed;
    Device m_current;
    QString m_refused;
    QList<Failure> m_failures;
    QMap<QString, QMap<QString, int>> m_settings;
};

// Puts a recording printer in place of the real printer and printer list of
// the test's services for as long as it lives.
class SubstitutedPrinting
{
public:
    SubstitutedPrinting(TestServices &services, RecordingPrinter &printer) : m_services(services)
    {
        m_services.substitutePrinting(&printer, &printer);
    }
    ~SubstitutedPrinting() { m_services.substitutePrinting(nullptr, nullptr); }
    SubstitutedPrinting(const SubstitutedPrinting &) = delete;
    SubstitutedPrinting &operator=(const SubstitutedPrinting &) = delete;

private:
    TestServices &m_services;
};
