#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// Certificates for TLS peers in tests, made with the openssl command into a
// temporary directory that lives as long as the object: a test CA and, each
// with its own EC key, certificates for "localhost" and 127.0.0.1 signed by it,
// one self-signed, one expired, and one for another host name.
class TestCertificates
{
public:
    enum class Kind {
        Ca,         // the test CA itself
        Signed,     // localhost / 127.0.0.1, signed by the test CA
        SelfSigned, // localhost / 127.0.0.1, signed by itself
        Expired,    // localhost / 127.0.0.1, signed by the test CA, expired yesterday
        OtherName,  // other.example, signed by the test CA
    };

    TestCertificates();

    // Empty when every file was made; otherwise what went wrong.
    QString error() const { return m_error; }

    // PEM files, for servers outside the test process.
    QString certificateFile(Kind kind) const;
    QString keyFile(Kind kind) const;
    // The same, loaded.
    QSslCertificate certificate(Kind kind) const;
    QSslKey key(Kind kind) const;

    // Makes every TLS socket of this process created afterwards trust the
    // test CA and nothing else (true), or no CA at all (false); the previous
    // setting comes back when the object goes.
    void trustCa(bool trusted = true);
    ~TestCertificates();
    TestCertificates(const TestCertificates &) = delete;
    TestCertificates &operator=(const TestCertificates &) = delete;

private:
    bool run(const QStringList &arguments);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
    bool m_trusting = false;
    QSslConfiguration m_previous;
};
