#pragma once

#include "platform/printer/PrintDialog.h"
#include "support/TestServices.h"

#include <QList>
#include <QStringList>
#include <functional>

class QWidget;

// What the user does in one printer dialog.
struct DialogScript
{
    bool confirm = true;
    QString printerName;
    std::int16_t copies = 1;
    std::int16_t orientation = 1;
    std::int16_t colorMode = 2;
    std::int16_t duplex = 1;
    std::int16_t paperBin = 7;
    std::int16_t paperSize = 9;
    std::int16_t printQuality = 300;
    // Runs while the dialog is "open", as the real dialog's event loop would.
    std::function<void()> whileOpen;
};

// A printer dialog that plays a script instead of waiting for a user, and
// records every operation on it, its creation and release included, into
// the event list it shares with the recording printer.
class ScriptedPrintDialog final : public PrintDialogComponent
{
public:
    ScriptedPrintDialog(DialogScript script, QStringList &events, QWidget *&ownerSeen);
    ~ScriptedPrintDialog() override;

    void SetPrinterName(const QString &name) override;
    void SetDriverName(const QString &name) override;
    void SetPort(const QString &port) override;
    void SetPaperBin(std::int16_t code) override;
    void SetFlags(std::int32_t flags) override;
    bool Show(QWidget *owner) override;

    QString PrinterName() const override;
    std::int16_t Copies() const override { return read("Copies", m_script.copies); }
    std::int16_t Orientation() const override { return read("Orientation", m_script.orientation); }
    std::int16_t ColorMode() const override { return read("ColorMode", m_script.colorMode); }
    std::int16_t Duplex() const override { return read("Duplex", m_script.duplex); }
    std::int16_t PaperBin() const override { return read("PaperBin", m_script.paperBin); }
    std::int16_t PaperSize() const override { return read("PaperSize", m_script.paperSize); }
    std::int16_t PrintQuality() const override
    {
        return read("PrintQuality", m_script.printQuality);
    }

private:
    std::int16_t read(const char *what, std::int16_t value) const;

    DialogScript m_script;
    QStringList &m_events;
    QWidget *&m_ownerSeen;
};

// Gives the test's services scripted dialogs for the dialogs to come, one
// script each, and puts the real dialog back when it goes. A dialog asked
// for beyond the scripts cannot be created.
class ScriptedDialogs
{
public:
    ScriptedDialogs(TestServices &services, QList<DialogScript> scripts, QStringList &events);
    ~ScriptedDialogs();
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    int created() const { return m_created; }
    QWidget *lastOwner() const { return m_owner; }

private:
    TestServices &m_services;
    QList<DialogScript> m_scripts;
    QStringList &m_events;
    int m_created = 0;
    QWidget *m_owner = nullptr;
};
