#pragma once

#include <cstdint>

// Colour values as the window and engine speak of them: 0x00BBGGRR for fixed
// colours, 0x800000nn for a theme colour with index nn. What they look like on
// screen is the platform's business (platform/ThemeColor.h).
namespace Colors {
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Yellow = 0x00FFFF;
constexpr std::uint32_t Cyan = 0xFFFF00; // the tool's own notes in the log
constexpr std::uint32_t DarkBlue = 0xC00000;
constexpr std::uint32_t Black = 0x000000;
constexpr std::uint32_t ButtonFace = 0x8000000F;
constexpr std::uint32_t ButtonShadow = 0x80000010;
} // namespace Colors
