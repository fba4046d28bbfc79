#include "platform/TlsReport.h"

#include <algorithm>

namespace {
constexpr qsizetype MaxNameLength = 128;

// A certificate may carry any characters in its names; a line break or an
// escape sequence must not reach the log from there.
QString CleanName(const QString &name)
{
    QString clean;
    clean.reserve(std::min(name.size(), MaxNameLength));
    for (const QChar c : name) {
        if (clean.size() == MaxNameLength)
            break;
        const bool control =
            c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
        clean += control ? QChar(u'?') : c;
    }
    return clean;
}

QString FirstOf(const QStringList &values)
{
    return values.isEmpty() ? QString() : values.first();
}

// Ranked so that the report names the reason a user can most readily act on.
int Rank(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return 0;
    case QSslError::CertificateExpired:
        return 1;
    case QSslError::CertificateNotYetValid:
        return 2;
    case QSslError::HostNameMismatch:
        return 3;
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return 4;
    default:
        return 5;
    }
}

TlsReport::Trust TrustFor(int rank)
{
    static constexpr TlsReport::Trust byRank[] = {
        TlsReport::Trust::SelfSigned,    TlsReport::Trust::Expired,
        TlsReport::Trust::NotYetValid,   TlsReport::Trust::OtherName,
        TlsReport::Trust::UnknownIssuer, TlsReport::Trust::Untrusted};
    return byRank[rank];
}
} // namespace

TlsReport TlsReport::From(const QString &protocol, const QString &cipher,
                          const QList<QSslCertificate> &chain, const QList<QSslError> &faults)
{
    TlsReport report;
    report.protocol = protocol;
    report.cipher = cipher;
    if (chain.isEmpty()) {
        report.trust = Trust::Untrusted;
        report.trustProblem = QSslError(QSslError::NoPeerCertificate).errorString();
        return report;
    }
    const QSslCertificate &leaf = chain.first();
    QString subject = FirstOf(leaf.subjectInfo(QSslCertificate::CommonName));
    if (subject.isEmpty())
        subject = FirstOf(leaf.subjectAlternativeNames().values(QSsl::DnsEntry));
    QString issuer = FirstOf(leaf.issuerInfo(QSslCertificate::CommonName));
    if (issuer.isEmpty())
        issuer = FirstOf(leaf.issuerInfo(QSslCertificate::Organization));
    report.subject = CleanName(subject);
    report.issuer = CleanName(issuer);
    report.expires = leaf.expiryDate().toUTC();

    if (faults.isEmpty()) {
        report.trust = Trust::Trusted;
        return report;
    }
    const auto first = std::min_element(
        faults.cbegin(), faults.cend(),
        [](const QSslError &a, const QSslError &b) { return Rank(a.error()) < Rank(b.error()); });
    report.trust = TrustFor(Rank(first->error()));
    report.trustProblem = first->errorString();
    return report;
}
