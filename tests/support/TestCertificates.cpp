#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>

namespace {
// Extensions as a real CA and real server certificates carry them, so that
// verification fails only for the reason a test intends.
constexpr char Config[] = R"([ req ]
distinguished_name = dn
prompt = no
[ dn ]
CN = unused
[ ca ]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ localhost ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
[ other ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.example
subjectKeyIdentifier = hash
)";

QString BaseName(TestCertificates::Kind kind)
{
    switch (kind) {
    case TestCertificates::Kind::Ca:
        return QStringLiteral("ca");
    case TestCertificates::Kind::Signed:
        return QStringLiteral("signed");
    case TestCertificates::Kind::SelfSigned:
        return QStringLiteral("selfsigned");
    case TestCertificates::Kind::Expired:
        return QStringLiteral("expired");
    case TestCertificates::Kind::OtherName:
        return QStringLiteral("other");
    }
    return {};
}

QByteArray ReadAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QStringList EcKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
} // namespace

TestCertificates::TestCertificates()
{
    QFile config(path(QStringLiteral("openssl.cnf")));
    if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly) || config.write(Config) < 0) {
        m_error = QStringLiteral("cannot write into a temporary directory");
        return;
    }
    config.close();
    const QString cnf = config.fileName();
    const auto self = [&](const QString &name, const QString &subject, const QString &section) {
        return run(QStringList{QStringLiteral("req"), QStringLiteral("-config"), cnf,
                               QStringLiteral("-x509")} +
                   EcKey +
                   QStringList{QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                               QStringLiteral("-out"), path(name + QStringLiteral(".pem")),
                               QStringLiteral("-days"), QStringLiteral("3650"),
                               QStringLiteral("-subj"), subject, QStringLiteral("-extensions"),
                               section});
    };
    int serial = 1;
    const auto signedByCa = [&](const QString &name, const QString &subject, const QString &section,
                                const QString &days) {
        const QString csr = path(name + QStringLiteral(".csr"));
        return run(QStringList{QStringLiteral("req"), QStringLiteral("-config"), cnf,
                               QStringLiteral("-new")} +
                   EcKey +
                   QStringList{QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                               QStringLiteral("-out"), csr, QStringLiteral("-subj"), subject}) &&
               run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr,
                    QStringLiteral("-CA"), path(QStringLiteral("ca.pem")), QStringLiteral("-CAkey"),
                    path(QStringLiteral("ca.key")), QStringLiteral("-set_serial"),
                    QString::number(++serial), QStringLiteral("-days"), days,
                    QStringLiteral("-extfile"), cnf, QStringLiteral("-extensions"), section,
                    QStringLiteral("-out"), path(name + QStringLiteral(".pem"))});
    };
    const QString localhost = QStringLiteral("/CN=localhost/O=Vormant Tests");
    const QString days = QStringLiteral("3650");
    // A negative validity ends the certificate a day before it is made.
    self(QStringLiteral("ca"), QStringLiteral("/CN=Vormant Test CA/O=Vormant Tests"),
         QStringLiteral("ca")) &&
        signedByCa(QStringLiteral("signed"), localhost, QStringLiteral("localhost"), days) &&
        self(QStringLiteral("selfsigned"), localhost, QStringLiteral("localhost")) &&
        signedByCa(QStringLiteral("expired"), localhost, QStringLiteral("localhost"),
                   QStringLiteral("-1")) &&
        signedByCa(QStringLiteral("other"), QStringLiteral("/CN=other.example/O=Vormant Tests"),
                   QStringLiteral("other"), days);
}

TestCertificates::~TestCertificates()
{
    if (m_trusting)
        QSslConfiguration::setDefaultConfiguration(m_previous);
}

bool TestCertificates::run(const QStringList &arguments)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2%3")
                      .arg(arguments.first(), openssl.errorString(),
                           QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

QString TestCertificates::certificateFile(Kind kind) const
{
    return path(BaseName(kind) + QStringLiteral(".pem"));
}

QString TestCertificates::keyFile(Kind kind) const
{
    return path(BaseName(kind) + QStringLiteral(".key"));
}

QSslCertificate TestCertificates::certificate(Kind kind) const
{
    return QSslCertificate(ReadAll(certificateFile(kind)), QSsl::Pem);
}

QSslKey TestCertificates::key(Kind kind) const
{
    return QSslKey(ReadAll(keyFile(kind)), QSsl::Ec, QSsl::Pem);
}

void TestCertificates::trustCa(bool trusted)
{
    if (!m_trusting)
        m_previous = QSslConfiguration::defaultConfiguration();
    QSslConfiguration configuration = m_previous;
    configuration.setCaCertificates(trusted ? QList{certificate(Kind::Ca)}
                                            : QList<QSslCertificate>());
    QSslConfiguration::setDefaultConfiguration(configuration);
    m_trusting = true;
}
