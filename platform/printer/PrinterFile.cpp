#include "platform/printer/PrinterFile.h"

#include <QDir>
#include <QStandardPaths>

namespace PrintToFile {
namespace {
QString &Chosen()
{
    static QString path;
    return path;
}

QString DefaultFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("vormant-log.pdf"));
}
} // namespace

QString DeviceName()
{
    return QStringLiteral("Print to File (PDF)");
}

QString OutputFile()
{
    return Chosen().isEmpty() ? DefaultFile() : Chosen();
}

void SetOutputFile(const QString &path)
{
    Chosen() = path;
}

} // namespace PrintToFile
