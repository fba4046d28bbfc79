#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <cstdint>
#include <optional>

// The codes in which the printer dialog and the printer exchange the seven
// settings, and what they mean to QPrinter:
//   Copies        the number of copies, 1 or more
//   Orientation   1 portrait, any other value landscape
//   ColorMode     1 black and white (grey scale), any other value colour
//   Duplex        1 one-sided, 2 two-sided bound on the long edge, 3 on the short edge
//   PaperBin      the Windows DMBIN codes (1 upper or only tray, 2 lower, 3 middle,
//                 4 manual, 5 envelope, 6 envelope manual, 7 automatic, 8 tractor,
//                 9 small format, 10 large format, 11 large capacity, 14 cassette,
//                 15 form source, 256 custom), onto QPrinter::PaperSource
//   PaperSize     the Windows DMPAPER codes of the sizes QPageSize knows (1 Letter,
//                 5 Legal, 8 A3, 9 A4, 11 A5, ...); 256, a size of the user's own,
//                 leaves the printer's paper size as it is
//   PrintQuality  a positive value is the resolution in dots per inch; -1 to -4
//                 (draft to high) leave the printer's own resolution
// A code outside these is refused with a RuntimeError PrinterError::SettingRefused
// that names the setting and the value.
namespace PrinterCodes {

constexpr std::int16_t Portrait = 1;
constexpr std::int16_t Landscape = 2;
constexpr std::int16_t Monochrome = 1;
constexpr std::int16_t Colour = 2;
constexpr std::int16_t Simplex = 1;
constexpr std::int16_t DuplexLongEdge = 2;
constexpr std::int16_t DuplexShortEdge = 3;
constexpr std::int16_t AutomaticBin = 7;
constexpr std::int16_t UserPaperSize = 256;

// From a code to QPrinter's value; std::nullopt leaves the printer's own.
int CopyCount(std::int16_t code);
QPageLayout::Orientation Orientation(std::int16_t code);
QPrinter::ColorMode ColorMode(std::int16_t code);
QPrinter::DuplexMode Duplex(std::int16_t code);
QPrinter::PaperSource PaperSource(std::int16_t code);
std::optional<QPageSize> PageSize(std::int16_t code);
std::optional<int> Resolution(std::int16_t code);

// From QPrinter's value to the code.
std::int16_t CopiesCode(int copies);
std::int16_t OrientationCode(QPageLayout::Orientation orientation);
std::int16_t ColorModeCode(QPrinter::ColorMode mode);
std::int16_t DuplexCode(QPrinter::DuplexMode mode);
std::int16_t PaperBinCode(QPrinter::PaperSource source);
std::int16_t PaperSizeCode(const QPageSize &size);
std::int16_t PrintQualityCode(int dotsPerInch);

} // namespace PrinterCodes
