#include "printing/PdfTools.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace PdfTools {
namespace {
QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString WithoutBlanks(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}
} // namespace

QString Text(const QString &pdfPath)
{
    return Run(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath, QStringLiteral("-")});
}

int PageCount(const QString &pdfPath)
{
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(Run(QStringLiteral("pdfinfo"), {pdfPath}));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QSizeF PageSize(const QString &pdfPath)
{
    const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = size.match(Run(QStringLiteral("pdfinfo"), {pdfPath}));
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

QImage FirstPage(const QString &pdfPath)
{
    QTemporaryDir dir;
    const QString stem = dir.filePath(QStringLiteral("page"));
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-f"), QStringLiteral("1"),
         QStringLiteral("-singlefile"), QStringLiteral("-png"), pdfPath, stem});
    return QImage(stem + QStringLiteral(".png"));
}

QString FirstMissingInOrder(const QStringList &lines, const QString &text)
{
    const QString haystack = WithoutBlanks(text);
    qsizetype from = 0;
    for (const QString &line : lines) {
        const QString needle = WithoutBlanks(line);
        if (needle.isEmpty())
            continue;
        const qsizetype at = haystack.indexOf(needle, from);
        if (at < 0)
            return line;
        from = at + needle.size();
    }
    return {};
}

} // namespace PdfTools
