#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Looks into a PDF with poppler's tools, as a reader of the file would.
namespace PdfTools {

// The text of the PDF as pdftotext reads it; empty when it cannot be read.
QString Text(const QString &pdfPath);
int PageCount(const QString &pdfPath);
// The size of the first page in points.
QSizeF PageSize(const QString &pdfPath);
// The first page rendered at a low resolution.
QImage FirstPage(const QString &pdfPath);

// The first of the lines that is not found in the text after the one before
// it; empty when all are there, in order. Blanks do not count, since a
// wrapped line breaks where the page ends.
QString FirstMissingInOrder(const QStringList &lines, const QString &text);

} // namespace PdfTools
