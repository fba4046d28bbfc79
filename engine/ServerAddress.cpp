#include "engine/ServerAddress.h"

#include "engine/MessageText.h"

#include <algorithm>

namespace {
// A port is decimal digits only, 1 to 65535: no sign, blanks or hex.
bool ParsePort(const QString &text, std::int32_t &port)
{
    if (text.isEmpty() || text.size() > 5 || !std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.isDigit() && c.unicode() < 0x80;
        }))
        return false;
    port = text.toInt();
    return port >= 1 && port <= 65535;
}
} // namespace

ServerAddress ParseServerAddress(const QString &field)
{
    ServerAddress address;

    if (field.startsWith(u'[')) {
        const qsizetype close = field.indexOf(u']');
        if (close < 0)
            return address;
        address.host = field.mid(1, close - 1);
        const QString rest = field.mid(close + 1);
        if (rest.isEmpty()) {
            address.valid = true;
            return address;
        }
        address.valid = rest.startsWith(u':') && ParsePort(rest.mid(1), address.port);
        return address;
    }

    // One colon separates a port; more than one is an IPv6 address.
    if (field.count(u':') == 1) {
        const qsizetype colon = field.indexOf(u':');
        address.host = AsciiDomain(field.left(colon));
        address.valid = ParsePort(field.mid(colon + 1), address.port);
        return address;
    }

    address.host = AsciiDomain(field);
    address.valid = true;
    return address;
}
