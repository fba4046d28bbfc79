#include "platform/StatusLog.h"

#include "platform/ThemeColor.h"
#include "util/Colors.h"

#include <QScrollBar>
#include <QTextCursor>

#include <utility>

namespace {
// A burst of insertions is painted once, at most this long after the first.
constexpr int RepaintHoldMs = 20;

// CR LF (and a lone LF) ends a line; every other control character is shown
// by its visible symbol, so that a server's NUL or escape bytes can be seen.
// A reply may be 64 KiB long: the text is written straight into place, one
// pass and one allocation.
QString DisplayText(const QString &text)
{
    QString shown(text.size(), Qt::Uninitialized);
    QChar *out = shown.data();
    const QChar *const end = text.constData() + text.size();
    for (const QChar *in = text.constData(); in != end; ++in) {
        const char16_t c = in->unicode();
        if (c == u'\r' && in + 1 != end && in[1].unicode() == u'\n')
            continue;
        if (c < 0x20 && c != u'\n' && c != u'\t')
            *out++ = QChar(char16_t(0x2400 + c));
        else if (c == 0x7F)
            *out++ = QChar(char16_t(0x2421));
        else
            *out++ = *in;
    }
    shown.truncate(out - shown.constData());
    return shown;
}
} // namespace

StatusLog::StatusLog(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    document()->setDocumentMargin(2);

    m_repaintHold.setSingleShot(true);
    m_repaintHold.setInterval(RepaintHoldMs);
    connect(&m_repaintHold, &QTimer::timeout, this, [this] { setUpdatesEnabled(true); });
}

void StatusLog::SetText(const QString &text)
{
    setPlainText(DisplayText(text));
    moveCursor(QTextCursor::End);
}

void StatusLog::SetSelColor(std::uint32_t colour)
{
    m_selColor = colour;
}

void StatusLog::InsertText(const QString &text)
{
    InsertMarkedText(text, 0);
}

void StatusLog::InsertMarkedText(const QString &text, std::uint32_t mark)
{
    if (m_holding)
        m_held.append({m_selColor, mark, text});
    else
        Insert({{m_selColor, mark, text}});
}

void StatusLog::HoldInsertions()
{
    m_holding = true;
}

void StatusLog::InsertHeld()
{
    m_holding = false;
    if (!m_held.isEmpty())
        Insert(std::exchange(m_held, {}));
}

void StatusLog::Insert(const QList<Piece> &pieces)
{
    QScrollBar *bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();

    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const auto &[colour, mark, text] : pieces) {
        QTextCharFormat format;
        format.setForeground(Colors::ToQColor(colour));
        if (mark != 0)
            format.setProperty(MarkProperty, mark);
        cursor.insertText(DisplayText(text), format);
    }
    cursor.endEditBlock();

    // Keep the newest line in view unless the user has scrolled back to read.
    if (following)
        bar->setValue(bar->maximum());
    HoldRepaint();
}

// Painting the log after every reply would hold up the answer to the next
// one, which is waiting in the socket while the event loop paints. A fast
// server's whole dialogue is shown in one or two paints instead, no later
// than the eye would notice.
void StatusLog::HoldRepaint()
{
    if (m_repaintHold.isActive())
        return;
    setUpdatesEnabled(false);
    m_repaintHold.start();
}

QString StatusLog::Text() const
{
    QString text = toPlainText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}
