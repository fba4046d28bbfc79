#include "support/HeadlessWindow.h"

#include "engine/modQuendel_EmailClient.h"
#include "platform/StatusLog.h"
#include "platform/ThemeColor.h"
#include "util/Colors.h"

#include <QTextBlock>

#include <utility>

namespace {
// The text as the log shows it: CR LF and a lone LF end a line, every other
// control character is its visible symbol.
QString Shown(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        if (c == u'\n' || c == u'\t' || (c >= 0x20 && c != 0x7F))
            shown += QChar(c);
        else
            shown += QChar(char16_t(c == 0x7F ? 0x2421 : 0x2400 + c));
    }
    return shown;
}

// What ends a line of the log's document.
bool EndsLine(QChar c)
{
    return c == u'\n' || c == QChar::ParagraphSeparator || c == u'\xFDD0' || c == u'\xFDD1';
}
} // namespace

void RecordedLog::SetText(const QString &text)
{
    m_pieces = {{std::nullopt, text}};
}

void RecordedLog::InsertMarkedText(const QString &text, std::uint32_t mark)
{
    (m_holding ? m_held : m_pieces).append({m_selColor, text, mark});
}

void RecordedLog::InsertHeld()
{
    m_holding = false;
    m_pieces.append(std::exchange(m_held, {}));
}

QString RecordedLog::Text() const
{
    QString text;
    for (const Piece &piece : m_pieces)
        text += Shown(piece.text);
    for (QChar &c : text) {
        if (EndsLine(c) || c == QChar::LineSeparator)
            c = u'\n';
        else if (c == QChar::Nbsp)
            c = u' ';
    }
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QList<RecordedLog::Line> RecordedLog::Lines() const
{
    QList<Line> lines{Line{}};
    for (const Piece &piece : m_pieces) {
        for (const QChar c : Shown(piece.text)) {
            if (EndsLine(c)) {
                lines.append(Line{});
                continue;
            }
            if (lines.last().text.isEmpty()) {
                lines.last().colour = piece.colour;
                lines.last().mark = piece.mark;
            }
            lines.last().text += c;
        }
    }
    return lines;
}

QList<RecordedLog::Line> ShownLines(const StatusLog &log)
{
    QList<RecordedLog::Line> lines;
    for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
        RecordedLog::Line line{std::nullopt, block.text()};
        if (!line.text.isEmpty()) {
            const QTextCharFormat format = block.begin().fragment().charFormat();
            line.mark = format.property(StatusLog::MarkProperty).toUInt();
            const QColor colour = format.foreground().color();
            for (const std::uint32_t known : {Colors::White, Colors::Yellow, Colors::Cyan}) {
                if (colour == Colors::ToQColor(known))
                    line.colour = known;
            }
        }
        lines.append(line);
    }
    return lines;
}

HeadlessWindow::HeadlessWindow()
{
    using namespace modQuendel_EmailClient;
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [] { MonitorTick(); });
    connect(&m_sockets, &SocketArray::Connect, this, [](std::int16_t i) { OnSockConnect(i); });
    connect(&m_sockets, &SocketArray::Encrypted, this, [](std::int16_t i) { OnSockEncrypted(i); });
    connect(&m_sockets, &SocketArray::Close, this, [](std::int16_t i) { OnSockClose(i); });
    connect(&m_sockets, &SocketArray::Error, this,
            [](std::int16_t i, QAbstractSocket::SocketError error, const QString &description) {
                OnSockError(i, error, description);
            });
    connect(&m_sockets, &SocketArray::DataArrival, this,
            [](std::int16_t i, std::int32_t) { OnSockDataArrival(i); });
    connect(&m_sockets, &SocketArray::SendProgress, this,
            [](std::int16_t i, std::int32_t sent, std::int32_t) { OnSockSendProgress(sent, i); });
}

HeadlessWindow::~HeadlessWindow()
{
    Module1::ForgetWindow(this);
}
