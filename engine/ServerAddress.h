#pragma once

#include <QString>
#include <cstdint>

// Where the server field points: "host", "host:port", "[IPv6 address]:port",
// or a bare IPv6 address, which is a host. Without a port it is port 25. A
// name in Unicode becomes its ASCII form, the one the resolver and the
// server's certificate know.
constexpr std::int32_t DefaultSmtpPort = 25;
// The port of SMTP submission over implicit TLS (RFC 8314): the handshake
// comes first, before the greeting.
constexpr std::int32_t ImplicitTlsPort = 465;

struct ServerAddress
{
    QString host;
    std::int32_t port = DefaultSmtpPort;
    bool valid = false;
};

ServerAddress ParseServerAddress(const QString &field);
