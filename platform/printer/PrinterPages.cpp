#include "platform/printer/PrinterPages.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <QPainter>
#include <QPrinter>
#include <QStringList>
#include <QTextLayout>

namespace {
QStringList Lines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    // A line end closes the line before it; it does not open one more.
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

[[noreturn]] void Fail(const QString &what, const QString &destination)
{
    throw RuntimeError(PrinterError::PrintingFailed, what.arg(destination));
}

QFont LogFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(10);
    return font;
}

// Lays out one line of the text at the page width; a long one takes several.
void LayOut(QTextLayout &layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(width);
    layout.endLayout();
}

class PageWriter
{
public:
    PageWriter(QPrinter &printer, QPainter &painter, const QString &destination)
        : m_printer(printer), m_painter(painter), m_destination(destination)
    {
    }

    void Write(const QString &line)
    {
        QTextLayout layout(line, m_painter.font(), &m_printer);
        LayOut(layout, m_printer.width());
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine row = layout.lineAt(i);
            if (m_y > 0 && m_y + row.height() > m_printer.height())
                NewPage();
            row.draw(&m_painter, QPointF(0, m_y - row.y()));
            m_y += row.height();
        }
    }

private:
    void NewPage()
    {
        if (!m_printer.newPage())
            Fail(QStringLiteral("Cannot start a new page on %1"), m_destination);
        m_y = 0;
    }

    QPrinter &m_printer;
    QPainter &m_painter;
    const QString &m_destination;
    qreal m_y = 0;
};
} // namespace

void PrintPages(QPrinter &printer, const QString &text, const QString &destination)
{
    QPainter painter;
    if (!painter.begin(&printer))
        Fail(QStringLiteral("Cannot start the document on %1"), destination);
    // The colours of the log are for the screen; paper gets black on white.
    painter.setPen(Qt::black);
    painter.setFont(LogFont());

    PageWriter writer(printer, painter, destination);
    for (const QString &line : Lines(text))
        writer.Write(line);

    if (!painter.end() || printer.printerState() == QPrinter::Error)
        Fail(QStringLiteral("The document could not be sent to %1"), destination);
}
