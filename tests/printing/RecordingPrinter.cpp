#include "printing/RecordingPrinter.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <stdexcept>

RecordingPrinter::RecordingPrinter(QStringList &events, QList<Device> installed,
                                   const QString &current)
    : m_events(events), m_installed(std::move(installed))
{
    for (const Device &device : m_installed) {
        if (device.name == current)
            m_current = device;
    }
}

QMap<QString, int> RecordingPrinter::settingsOf(const QString &deviceName) const
{
    return m_settings.value(deviceName);
}

void RecordingPrinter::failIfTold(const QString &operation) const
{
    for (const Failure &failure : m_failures) {
        if (failure.operation != operation)
            continue;
        if (failure.standardException)
            throw std::runtime_error(failure.description.toStdString());
        throw RuntimeError(failure.number, failure.description);
    }
}

void RecordingPrinter::SetFollowDefault(bool follow)
{
    m_events.append(QStringLiteral("FollowDefault=%1").arg(follow ? "true" : "false"));
}

void RecordingPrinter::SelectDevice(const QString &deviceName)
{
    failIfTold(QStringLiteral("Select"));
    m_events.append(QStringLiteral("Select:") + deviceName);
    for (const Device &device : m_installed) {
        if (device.name == deviceName)
            m_current = device;
    }
}

void RecordingPrinter::write(const QString &setting, std::int16_t value)
{
    if (setting == m_refused)
        throw RuntimeError(
            PrinterError::SettingRefused,
            QStringLiteral("The printer does not accept %1 = %2").arg(setting).arg(value));
    m_events.append(QStringLiteral("%1=%2").arg(setting).arg(value));
    m_settings[m_current.name][setting] = value;
}

void RecordingPrinter::SetPaperBin(std::int16_t value)
{
    write(QStringLiteral("PaperBin"), value);
    m_current.paperBin = value;
    for (Device &device : m_installed) {
        if (device.name == m_current.name)
            device.paperBin = value;
    }
}

void RecordingPrinter::Print(const QString &text)
{
    failIfTold(QStringLiteral("Print"));
    m_events.append(QStringLiteral("Print@%1:%2").arg(m_current.name, text));
}

void RecordingPrinter::EndDoc()
{
    failIfTold(QStringLiteral("EndDoc"));
    m_events.append(QStringLiteral("EndDoc@") + m_current.name);
}

void RecordingPrinter::KillDoc()
{
    failIfTold(QStringLiteral("KillDoc"));
    m_events.append(QStringLiteral("KillDoc@") + m_current.name);
}

QStringList RecordingPrinter::DeviceNames() const
{
    failIfTold(QStringLiteral("List"));
    m_events.append(QStringLiteral("List"));
    QStringList names;
    for (const Device &device : m_installed)
        names.append(device.name);
    return names;
}
