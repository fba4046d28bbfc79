#include "platform/ThemeColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace Colors {

namespace {
QPalette::ColorRole RoleForSystemIndex(std::uint32_t index)
{
    switch (index) {
    case 0x05:
        return QPalette::Base; // window background
    case 0x08:
        return QPalette::Text; // window text
    case 0x0F:
        return QPalette::Button; // button face
    case 0x10:
        return QPalette::Dark; // button shadow
    case 0x12:
        return QPalette::ButtonText; // button text
    case 0x14:
        return QPalette::Light; // button highlight
    default:
        return QPalette::Window;
    }
}
} // namespace

QColor ToQColor(std::uint32_t value)
{
    if (value & 0x80000000u)
        return QGuiApplication::palette().color(QPalette::Active,
                                                RoleForSystemIndex(value & 0xFFu));
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace Colors
