#include "platform/printer/PrinterCodes.h"

#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <algorithm>
#include <array>
#include <utility>

namespace PrinterCodes {
namespace {
[[noreturn]] void Refuse(const char *setting, std::int16_t code)
{
    throw RuntimeError(PrinterError::SettingRefused,
                       QStringLiteral("The printer does not accept %1 = %2")
                           .arg(QLatin1String(setting))
                           .arg(code));
}

std::int16_t Clamped(int value, int low, int high)
{
    return std::int16_t(std::clamp(value, low, high));
}

using BinPair = std::pair<std::int16_t, QPrinter::PaperSource>;
constexpr std::array<BinPair, 14> Bins{{
    {1, QPrinter::OnlyOne},
    {2, QPrinter::Lower},
    {3, QPrinter::Middle},
    {4, QPrinter::Manual},
    {5, QPrinter::Envelope},
    {6, QPrinter::EnvelopeManual},
    {7, QPrinter::Auto},
    {8, QPrinter::Tractor},
    {9, QPrinter::SmallFormat},
    {10, QPrinter::LargeFormat},
    {11, QPrinter::LargeCapacity},
    {14, QPrinter::Cassette},
    {15, QPrinter::FormSource},
    {256, QPrinter::CustomSource},
}};
} // namespace

int CopyCount(std::int16_t code)
{
    if (code < 1)
        Refuse("Copies", code);
    return code;
}

QPageLayout::Orientation Orientation(std::int16_t code)
{
    return code == Portrait ? QPageLayout::Portrait : QPageLayout::Landscape;
}

QPrinter::ColorMode ColorMode(std::int16_t code)
{
    return code == Monochrome ? QPrinter::GrayScale : QPrinter::Color;
}

QPrinter::DuplexMode Duplex(std::int16_t code)
{
    switch (code) {
    case Simplex:
        return QPrinter::DuplexNone;
    case DuplexLongEdge:
        return QPrinter::DuplexLongSide;
    case DuplexShortEdge:
        return QPrinter::DuplexShortSide;
    default:
        Refuse("Duplex", code);
    }
}

QPrinter::PaperSource PaperSource(std::int16_t code)
{
    const auto found = std::find_if(Bins.begin(), Bins.end(),
                                    [code](const BinPair &bin) { return bin.first == code; });
    if (found == Bins.end())
        Refuse("PaperBin", code);
    return found->second;
}

std::optional<QPageSize> PageSize(std::int16_t code)
{
    if (code == UserPaperSize)
        return std::nullopt;
    const QPageSize::PageSizeId id = code > 0 ? QPageSize::id(code) : QPageSize::Custom;
    if (id == QPageSize::Custom)
        Refuse("PaperSize", code);
    return QPageSize(id);
}

std::optional<int> Resolution(std::int16_t code)
{
    if (code > 0)
        return int(code);
    if (code >= -4 && code <= -1)
        return std::nullopt;
    Refuse("PrintQuality", code);
}

std::int16_t CopiesCode(int copies)
{
    return Clamped(copies, 1, 32767);
}

std::int16_t OrientationCode(QPageLayout::Orientation orientation)
{
    return orientation == QPageLayout::Portrait ? Portrait : Landscape;
}

std::int16_t ColorModeCode(QPrinter::ColorMode mode)
{
    return mode == QPrinter::GrayScale ? Monochrome : Colour;
}

std::int16_t DuplexCode(QPrinter::DuplexMode mode)
{
    switch (mode) {
    case QPrinter::DuplexLongSide:
        return DuplexLongEdge;
    case QPrinter::DuplexShortSide:
        return DuplexShortEdge;
    default:
        // The codes have no "as the printer likes"; one-sided never wastes a sheet.
        return Simplex;
    }
}

std::int16_t PaperBinCode(QPrinter::PaperSource source)
{
    const auto found = std::find_if(Bins.begin(), Bins.end(),
                                    [source](const BinPair &bin) { return bin.second == source; });
    return found == Bins.end() ? AutomaticBin : found->first;
}

std::int16_t PaperSizeCode(const QPageSize &size)
{
    const int code = size.windowsId();
    return code > 0 && code <= 32767 ? std::int16_t(code) : UserPaperSize;
}

std::int16_t PrintQualityCode(int dotsPerInch)
{
    return Clamped(dotsPerInch, 1, 32767);
}

} // namespace PrinterCodes
