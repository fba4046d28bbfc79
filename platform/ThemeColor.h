#pragma once

#include <QColor>
#include <cstdint>

namespace Colors {
// The colour a value of util/Colors.h stands for on this desktop's current
// theme: a fixed colour as it is, a theme colour as the palette has it now.
QColor ToQColor(std::uint32_t value);
} // namespace Colors
