#pragma once

#include "platform/TlsReport.h"

#include <QByteArray>
#include <QHash>
#include <QSslConfiguration>
#include <QString>
#include <cstdint>
#include <optional>

// The TLS settings of every handshake, made once rather than for each
// connection, and the sessions servers have granted: a later test against the
// same server (host, port and the name its certificate must carry) offers the
// session back, and a server that accepts it skips the certificate and key
// exchange of a whole new handshake. The program keeps one of these, with
// its services (Services.h).
//
// A resumed session carries no certificate to verify: what the first
// handshake found is what its report says, kept with the session.
class TlsSessions
{
public:
    struct Server
    {
        QString host;
        std::int32_t port = 0;
        QString peerName;
    };

    // The configuration for a handshake with the server: the process's
    // default (its trusted certificates), verifying the peer, with the
    // session a former connection to the same server left, if any.
    QSslConfiguration ConfigurationFor(const Server &server);
    // What a connection to the server left: the session it holds now (a
    // TLS 1.3 server sends it after the handshake) and the report of its
    // handshake.
    void Keep(const Server &server, const QByteArray &session, const TlsReport &report);
    // The report of the handshake that made the session offered to the server.
    const TlsReport *ReportFor(const Server &server) const;
    // Forgets the server's session (a server that refused it is asked afresh).
    void Forget(const Server &server);
    // Forgets them all.
    void ForgetAll();

private:
    struct Kept
    {
        QByteArray session;
        TlsReport report;
    };

    static QString KeyOf(const Server &server);
    const QSslConfiguration &Base();

    QHash<QString, Kept> m_sessions;
    // Made when the first handshake needs it, and again only when the
    // process's default configuration changes (another set of trusted
    // certificates); not before, since making one loads the TLS library.
    std::optional<QSslConfiguration> m_madeFrom;
    std::optional<QSslConfiguration> m_base;
};
