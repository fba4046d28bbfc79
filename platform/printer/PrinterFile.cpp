#include "platform/printer/PrinterFile.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString DefaultFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("vormant-log.pdf"));
}
} // namespace

QString PrintToFile::DeviceName()
{
    return QStringLiteral("Print to File (PDF)");
}

QString PrintToFile::OutputFile() const
{
    return m_chosen.isEmpty() ? DefaultFile() : m_chosen;
}
