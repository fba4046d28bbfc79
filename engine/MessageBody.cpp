#include "engine/MessageBody.h"

#include <QStringList>

#include <algorithm>

namespace {
// The longest encoded line, soft break "=" included (RFC 2045 6.7, rule 5).
constexpr qsizetype MaxEncodedLine = 76;

QStringList Lines(const QString &text)
{
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');
    return unified.split(u'\n');
}

bool NeedsEncoding(const QStringList &lines)
{
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.toUtf8().size() > MaxLineOctets ||
               std::any_of(line.cbegin(), line.cend(),
                           [](QChar c) { return c.unicode() > 0x7E || c.unicode() == 0; });
    });
}

// One line of text as one or more encoded lines: every byte that is not
// printable ASCII, "=" itself, and a blank at the end of the line become
// "=XX"; a line that would grow too long ends in a soft break "=".
QStringList EncodeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    QStringList encoded{QString()};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        const bool blank = byte == ' ' || byte == '\t';
        const bool literal =
            (byte >= 33 && byte <= 126 && byte != '=') || (blank && i + 1 < bytes.size());
        const QString token =
            literal ? QString(QLatin1Char(char(byte)))
                    : QStringLiteral("=%1").arg(unsigned(byte), 2, 16, QLatin1Char('0')).toUpper();
        if (encoded.last().size() + token.size() > MaxEncodedLine - 1) {
            encoded.last() += u'=';
            encoded << QString();
        }
        encoded.last() += token;
    }
    return encoded;
}
} // namespace

WireBody BodyForWire(const QString &body)
{
    const QStringList typed = Lines(body);
    WireBody wire;
    QStringList lines;
    if (NeedsEncoding(typed)) {
        wire.encoding = QStringLiteral("quoted-printable");
        for (const QString &line : typed)
            lines << EncodeLine(line);
    } else {
        wire.encoding = QStringLiteral("7bit");
        lines = typed;
    }
    for (QString &line : lines) {
        if (line.startsWith(u'.'))
            line.prepend(u'.');
    }
    wire.text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    return wire;
}
