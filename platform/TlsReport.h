#pragma once

#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

// What a finished TLS handshake tells about the session and the server's
// certificate. The certificate's names are the server's own text: they are
// cleaned of control characters and shortened, so that each fits one log line,
// but they are still to be shown as plain text only.
struct TlsReport
{
    // Whether the certificate can be trusted for the host typed, or the first
    // reason it cannot, in this order of precedence.
    enum class Trust {
        Trusted,
        SelfSigned,
        Expired,
        NotYetValid,
        OtherName,     // issued for another host name (or the host typed is an address)
        UnknownIssuer, // no certificate of the store vouches for it
        Untrusted,     // any other fault of the chain, or no certificate at all
    };

    QString protocol;  // "TLS 1.3", "TLS 1.2"
    QString cipher;    // the cipher suite's name, e.g. "TLS_AES_256_GCM_SHA384"
    QString subject;   // the name the certificate is for: its CN, else its first DNS name
    QString issuer;    // the issuer's CN, else its organisation
    QDateTime expires; // the end of the certificate's validity, in UTC
    Trust trust = Trust::Untrusted;
    QString trustProblem; // the verifier's text for that first reason; empty when trusted

    // The report of a session, from its leaf-first certificate chain and the
    // faults that verification found.
    static TlsReport From(const QString &protocol, const QString &cipher,
                          const QList<QSslCertificate> &chain, const QList<QSslError> &faults);
};
