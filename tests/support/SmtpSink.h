#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real SMTP server for a test: Debian's aiosmtpd, started by
// smtp_sink.py on a free loopback port with AUTH LOGIN for one user, plain or
// with TLS. What it accepts is read back from the files it saves.
class SmtpSink
{
public:
    enum class Tls {
        None,     // plain; AUTH offered without TLS
        StartTls, // STARTTLS required before mail commands; AUTH only inside TLS
        Implicit, // TLS from the first byte, as on port 465
    };

    struct Options
    {
        QString host = QStringLiteral("127.0.0.1");
        int port = 0; // 0: a free port
        QString user = QStringLiteral("tester");
        QString password = QStringLiteral("secret");
        Tls tls = Tls::None;
        QString certificateFile; // PEM, for StartTls and Implicit
        QString keyFile;
        // Domains whose DMARC policy the server enforces on the From header.
        QStringList dmarcReject;
        // Non-empty: AUTH XOAUTH2 is offered and takes this access token.
        QString xoauth2Token;
    };

    explicit SmtpSink(const Options &options);
    SmtpSink() : SmtpSink(Options{}) {}
    ~SmtpSink();
    SmtpSink(const SmtpSink &) = delete;
    SmtpSink &operator=(const SmtpSink &) = delete;

    // Empty when the server runs; otherwise what went wrong.
    QString startError() const { return m_startError; }
    quint16 port() const { return m_port; }
    QString address() const; // "host:port", as typed into the server field

    // Messages are numbered from 1 in the order they were accepted.
    int messageCount() const;
    QByteArray content(int number) const;   // the message as the server kept it
    QString contentFile(int number) const;  // the file that holds it
    QStringList envelope(int number) const; // "MAIL FROM:..." then "RCPT TO:..." lines
    // "resumed" or "new": whether the message's TLS session was one of an
    // earlier connection; empty without TLS.
    QString tlsSession(int number) const;
    // One line per AUTH attempt: "ok|fail <login hex> <password hex>".
    QStringList authAttempts() const;

private:
    QByteArray readFile(const QString &name) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_host;
    quint16 m_port = 0;
    QString m_startError;
};
