#include "platform/TlsSessions.h"

#include <QHash>
#include <QSslSocket>

namespace TlsSessions {

namespace {
struct Kept
{
    QByteArray session;
    TlsReport report;
};

QString KeyOf(const Server &server)
{
    return server.host + u'\n' + QString::number(server.port) + u'\n' + server.peerName;
}

QHash<QString, Kept> &Sessions()
{
    static QHash<QString, Kept> sessions;
    return sessions;
}

// Made when the first handshake needs it, and again only when the process's
// default configuration changes (another set of trusted certificates).
const QSslConfiguration &Base()
{
    static QSslConfiguration madeFrom;
    static QSslConfiguration base;
    const QSslConfiguration current = QSslConfiguration::defaultConfiguration();
    if (base.isNull() || current != madeFrom) {
        madeFrom = current;
        base = current;
        base.setPeerVerifyMode(QSslSocket::VerifyPeer);
        // Qt keeps a session for reuse only when it may persist it.
        base.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        Sessions().clear(); // their reports were made against the old trust
    }
    return base;
}
} // namespace

QSslConfiguration ConfigurationFor(const Server &server)
{
    QSslConfiguration configuration = Base();
    const auto kept = Sessions().constFind(KeyOf(server));
    if (kept != Sessions().cend())
        configuration.setSessionTicket(kept->session);
    return configuration;
}

void Keep(const Server &server, const QByteArray &session, const TlsReport &report)
{
    if (session.isEmpty())
        Sessions().remove(KeyOf(server));
    else
        Sessions().insert(KeyOf(server), Kept{session, report});
}

const TlsReport *ReportFor(const Server &server)
{
    const auto kept = Sessions().constFind(KeyOf(server));
    return kept == Sessions().cend() ? nullptr : &kept->report;
}

void Forget(const Server &server)
{
    Sessions().remove(KeyOf(server));
}

void ForgetAll()
{
    Sessions().clear();
}

} // namespace TlsSessions
