#pragma once

#include "util/RuntimeError.h"

#include <cstdint>

// Counters and indexes are 16-bit signed values; going past 32767 is an
// overflow error rather than a silent wrap.
inline std::int16_t CheckedAdd16(std::int16_t a, std::int16_t b)
{
    const int sum = int(a) + int(b);
    if (sum > INT16_MAX || sum < INT16_MIN)
        throw RuntimeError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return static_cast<std::int16_t>(sum);
}
