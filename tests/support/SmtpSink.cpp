#include "support/SmtpSink.h"

#include <QDir>
#include <QFile>

namespace {
// Debian's interpreter: the aiosmtpd module is installed for it.
const QString Python = QStringLiteral("/usr/bin/python3");
constexpr int StartTimeoutMs = 30000;
} // namespace

SmtpSink::SmtpSink(const Options &options) : m_host(options.host)
{
    const QString script = QStringLiteral(VORMANT_TEST_SUPPORT_DIR "/smtp_sink.py");
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList arguments{script,
                          QStringLiteral("--host"),
                          options.host,
                          QStringLiteral("--port"),
                          QString::number(options.port),
                          QStringLiteral("--user"),
                          options.user,
                          QStringLiteral("--password"),
                          options.password,
                          QStringLiteral("--dir"),
                          m_dir.path()};
    if (options.tls != Tls::None)
        arguments << QStringLiteral("--tls")
                  << (options.tls == Tls::StartTls ? QStringLiteral("starttls")
                                                   : QStringLiteral("implicit"))
                  << QStringLiteral("--cert") << options.certificateFile << QStringLiteral("--key")
                  << options.keyFile;
    for (const QString &domain : options.dmarcReject)
        arguments << QStringLiteral("--dmarc-reject") << domain;
    if (!options.xoauth2Token.isEmpty())
        arguments << QStringLiteral("--xoauth2") << options.xoauth2Token;
    m_process.start(Python, arguments);
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        m_startError = QStringLiteral("cannot start %1: %2").arg(Python, m_process.errorString());
        return;
    }
    // The first line of output is the port, once the server accepts connections.
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(StartTimeoutMs)) {
            m_startError = QStringLiteral("the server did not start: %1")
                               .arg(QString::fromUtf8(m_process.readAllStandardError()));
            return;
        }
    }
    bool ok = false;
    m_port = quint16(m_process.readLine().trimmed().toUInt(&ok));
    if (!ok || m_port == 0)
        m_startError = QStringLiteral("the server gave no port");
}

SmtpSink::~SmtpSink()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the server stops when its input ends
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SmtpSink::address() const
{
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

int SmtpSink::messageCount() const
{
    return int(QDir(m_dir.path()).entryList({QStringLiteral("*.envelope")}, QDir::Files).size());
}

QByteArray SmtpSink::readFile(const QString &name) const
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString SmtpSink::contentFile(int number) const
{
    return m_dir.filePath(QStringLiteral("%1.eml").arg(number));
}

QByteArray SmtpSink::content(int number) const
{
    return readFile(QStringLiteral("%1.eml").arg(number));
}

QStringList SmtpSink::envelope(int number) const
{
    return QString::fromUtf8(readFile(QStringLiteral("%1.envelope").arg(number)))
        .split(u'\n', Qt::SkipEmptyParts);
}

QString SmtpSink::tlsSession(int number) const
{
    return QString::fromLatin1(readFile(QStringLiteral("%1.tls").arg(number)));
}

QStringList SmtpSink::authAttempts() const
{
    return QString::fromLatin1(readFile(QStringLiteral("auth.log")))
        .split(u'\n', Qt::SkipEmptyParts);
}
