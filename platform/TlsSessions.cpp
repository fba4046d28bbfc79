#include "platform/TlsSessions.h"

#include <QSslSocket>

QString TlsSessions::KeyOf(const Server &server)
{
    return server.host + u'\n' + QString::number(server.port) + u'\n' + server.peerName;
}

const QSslConfiguration &TlsSessions::Base()
{
    const QSslConfiguration current = QSslConfiguration::defaultConfiguration();
    if (!m_base || current != *m_madeFrom) {
        m_madeFrom = current;
        m_base = current;
        m_base->setPeerVerifyMode(QSslSocket::VerifyPeer);
        // Qt keeps a session for reuse only when it may persist it.
        m_base->setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        m_sessions.clear(); // their reports were made against the old trust
    }
    return *m_base;
}

QSslConfiguration TlsSessions::ConfigurationFor(const Server &server)
{
    QSslConfiguration configuration = Base();
    const auto kept = m_sessions.constFind(KeyOf(server));
    if (kept != m_sessions.cend())
        configuration.setSessionTicket(kept->session);
    return configuration;
}

void TlsSessions::Keep(const Server &server, const QByteArray &session, const TlsReport &report)
{
    if (session.isEmpty())
        m_sessions.remove(KeyOf(server));
    else
        m_sessions.insert(KeyOf(server), Kept{session, report});
}

const TlsReport *TlsSessions::ReportFor(const Server &server) const
{
    const auto kept = m_sessions.constFind(KeyOf(server));
    return kept == m_sessions.cend() ? nullptr : &kept->report;
}

void TlsSessions::Forget(const Server &server)
{
    m_sessions.remove(KeyOf(server));
}

void TlsSessions::ForgetAll()
{
    m_sessions.clear();
}
