#include "printing/ScriptedPrintDialog.h"

ScriptedPrintDialog::ScriptedPrintDialog(DialogScript script, QStringList &events,
                                         QWidget *&ownerSeen)
    : m_script(std::move(script)), m_events(events), m_ownerSeen(ownerSeen)
{
    m_events.append(QStringLiteral("Dialog:Create"));
}

ScriptedPrintDialog::~ScriptedPrintDialog()
{
    m_events.append(QStringLiteral("Dialog:Release"));
}

void ScriptedPrintDialog::SetPrinterName(const QString &name)
{
    m_events.append(QStringLiteral("Dialog:PrinterName=") + name);
}

void ScriptedPrintDialog::SetDriverName(const QString &name)
{
    m_events.append(QStringLiteral("Dialog:DriverName=") + name);
}

void ScriptedPrintDialog::SetPort(const QString &port)
{
    m_events.append(QStringLiteral("Dialog:Port=") + port);
}

void ScriptedPrintDialog::SetPaperBin(std::int16_t code)
{
    m_events.append(QStringLiteral("Dialog:PaperBin=%1").arg(code));
}

void ScriptedPrintDialog::SetFlags(std::int32_t flags)
{
    m_events.append(QStringLiteral("Dialog:Flags=%1").arg(flags));
}

bool ScriptedPrintDialog::Show(QWidget *owner)
{
    m_events.append(QStringLiteral("Dialog:Show"));
    m_ownerSeen = owner;
    if (m_script.whileOpen)
        m_script.whileOpen();
    return m_script.confirm;
}

QString ScriptedPrintDialog::PrinterName() const
{
    m_events.append(QStringLiteral("Dialog:Read PrinterName"));
    return m_script.printerName;
}

std::int16_t ScriptedPrintDialog::read(const char *what, std::int16_t value) const
{
    m_events.append(QStringLiteral("Dialog:Read ") + QLatin1String(what));
    return value;
}

ScriptedDialogs::ScriptedDialogs(TestServices &services, QList<DialogScript> scripts,
                                 QStringList &events)
    : m_services(services), m_scripts(std::move(scripts)), m_events(events)
{
    m_services.substituteDialogs([this]() -> std::unique_ptr<PrintDialogComponent> {
        if (m_created >= m_scripts.size())
            return nullptr;
        return std::make_unique<ScriptedPrintDialog>(m_scripts.at(m_created++), m_events, m_owner);
    });
}

ScriptedDialogs::~ScriptedDialogs()
{
    m_services.substituteDialogs({});
}
