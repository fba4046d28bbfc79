#include "support/DnsServer.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <csignal>

DnsServer::DnsServer(const QList<MailHost> &records, const QStringList &localDomains)
{
    if (qEnvironmentVariable("VORMANT_PRIVATE_NETWORK") != u"1") {
        m_error = QStringLiteral("not in a private network namespace: port 53 is not the test's");
        return;
    }
    QStringList arguments{
        QStringLiteral("--no-daemon"),       QStringLiteral("--conf-file=/dev/null"),
        QStringLiteral("--user=root"),       QStringLiteral("--pid-file="),
        QStringLiteral("--port=53"),         QStringLiteral("--listen-address=127.0.0.1"),
        QStringLiteral("--bind-interfaces"), QStringLiteral("--no-resolv"),
        QStringLiteral("--no-hosts")};
    for (const MailHost &record : records)
        arguments << QStringLiteral("--mx-host=%1,%2,%3")
                         .arg(record.domain, record.host, QString::number(record.preference));
    for (const QString &domain : localDomains)
        arguments << QStringLiteral("--local=/%1/").arg(domain);

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("/usr/sbin/dnsmasq"), arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("dnsmasq did not start: ") + m_process.errorString();
        return;
    }
    // It says "started" once its socket is bound.
    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!output.contains("started") && m_process.state() == QProcess::Running &&
           !deadline.hasExpired()) {
        m_process.waitForReadyRead(int(deadline.remainingTime()));
        output += m_process.readAll();
    }
    if (!output.contains("started"))
        m_error = QStringLiteral("dnsmasq is not answering: ") + QString::fromLocal8Bit(output);
}

DnsServer::~DnsServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    if (m_stopped)
        ::kill(pid_t(m_process.processId()), SIGCONT);
    m_process.terminate();
    m_process.waitForFinished(10000);
}

void DnsServer::stopAnswering()
{
    if (m_process.state() == QProcess::Running &&
        ::kill(pid_t(m_process.processId()), SIGSTOP) == 0)
        m_stopped = true;
}
