#pragma once

#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QString>

// A real DNS server for the test (Debian's dnsmasq) on port 53 of 127.0.0.1,
// which knows nothing but the MX records it is given: every other name of
// the test's domains does not exist. Port 53 needs the private network
// namespace that tests/support/in_private_network.sh gives a test program;
// elsewhere error() says why there is none.
class DnsServer
{
public:
    struct MailHost
    {
        QString domain;
        QString host;
        int preference = 0;
    };

    DnsServer(const QList<MailHost> &records, const QStringList &localDomains);
    ~DnsServer();
    Q_DISABLE_COPY_MOVE(DnsServer)

    // Empty once the server answers.
    QString error() const { return m_error; }
    static QHostAddress address() { return QHostAddress(QHostAddress::LocalHost); }
    // From now on the server reads no query and answers none, but keeps its port.
    void stopAnswering();

private:
    QProcess m_process;
    QString m_error;
    bool m_stopped = false;
};
