#include "util/Base64.h"

namespace {
const QString Alphabet =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");

// n as exactly eight octal digits: each pair of digits is one 6-bit value.
QString OctalText8(std::int32_t n)
{
    const QString digits = QString::number(n, 8);
    return QString(8 - digits.size(), QLatin1Char('0')) + digits;
}

QChar AlphabetCharForOctalPair(QStringView pair)
{
    bool ok = false;
    const int value = pair.toInt(&ok, 8);
    Q_ASSERT(ok && value >= 0 && value < 64);
    return Alphabet.at(value);
}
} // namespace

std::int16_t AscOrZero(QByteArrayView Bytes)
{
    if (Bytes.isEmpty())
        return 0;
    return static_cast<std::uint8_t>(Bytes.front());
}

QString Base64Encode(const QString &Text)
{
    const QByteArray bytes = Text.toUtf8();
    const qsizetype L = bytes.size();
    QString result;
    result.reserve((L + 2) / 3 * 4);

    for (qsizetype i = 0; i < L; i += 3) {
        const std::int32_t c1 = AscOrZero(bytes.mid(i, 1));
        const std::int32_t c2 = AscOrZero(bytes.mid(i + 1, 1));
        const std::int32_t c3 = AscOrZero(bytes.mid(i + 2, 1));
        const std::int32_t n = c1 * 65536 + c2 * 256 + c3;

        const QString octal = OctalText8(n);
        for (int piece = 0; piece < 4; ++piece)
            result += AlphabetCharForOctalPair(QStringView(octal).mid(piece * 2, 2));
    }

    // The missing bytes of a short last group were counted as zero, which
    // encodes as "A"; the padding takes their place.
    const qsizetype r = L % 3;
    if (r == 1) {
        result.chop(2);
        result += QStringLiteral("==");
    } else if (r == 2) {
        result.chop(1);
        result += QStringLiteral("=");
    }
    return result;
}
