#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Base64 for the AUTH LOGIN exchange. The text is taken as its UTF-8 bytes,
// so every user name and password has an encoding; for plain ASCII the result
// is the standard Base64 of RFC 4648.
QString Base64Encode(const QString &Text);

// The code of the first byte of Bytes, or 0 when there is none.
std::int16_t AscOrZero(QByteArrayView Bytes);
