#include "engine/MessageText.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QUrl>

#include <algorithm>

QString LocalPart(const QString &address)
{
    const qsizetype at = address.indexOf(u'@');
    return at < 0 ? address : address.left(at);
}

QString Trim(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

bool BreaksPathBrackets(const QString &address)
{
    const QString path = Trim(address);
    return path.contains(u'<') || path.contains(u'>') || path.contains(u' ');
}

QString ReversePath(const QString &user, bool loggingIn)
{
    const qsizetype at = user.indexOf(u'@');
    const bool isAddress = at > 0 && user.lastIndexOf(u'@') < user.size() - 1;
    const bool fits = std::none_of(user.cbegin(), user.cend(), [](QChar c) {
        return c.unicode() <= 0x20 || c.unicode() == 0x7F || c == u'<' || c == u'>';
    });
    return loggingIn && isAddress && fits ? user : QString();
}

QString DomainPart(const QString &address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    return at < 0 ? QString() : address.mid(at + 1);
}

QString AsciiDomain(const QString &domain)
{
    const bool ascii =
        std::all_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return domain;
    const QByteArray ace = QUrl::toAce(domain);
    return ace.isEmpty() ? domain : QString::fromLatin1(ace);
}

QString AsciiAddress(const QString &address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    return at < 0 ? address : address.left(at + 1) + AsciiDomain(address.mid(at + 1));
}

bool NeedsSmtpUtf8(const QString &address)
{
    const QString local = LocalPart(address);
    return std::any_of(local.cbegin(), local.cend(), [](QChar c) { return c.unicode() >= 0x80; });
}

QString DisplayName(const QString &name)
{
    // atext (RFC 5322 3.2.3), and any character beyond ASCII (RFC 6532 3.2).
    static const QString specials = QStringLiteral("!#$%&'*+-/=?^_`{|}~");
    const bool atom = !name.isEmpty() && std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.unicode() >= 0x80 || (c.unicode() < 0x80 && c.isLetterOrNumber()) ||
               specials.contains(c);
    });
    if (atom)
        return name;
    QString quoted = name;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'"', QStringLiteral("\\\""));
    return u'"' + quoted + u'"';
}

QString DateHeaderText(const QDateTime &when)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = when.date();
    const int offset = when.offsetFromUtc() / 60;
    const int minutes = offset < 0 ? -offset : offset;
    return QStringLiteral("%1, %2 %3 %4 %5 %6%7%8")
        .arg(QLatin1String(days[date.dayOfWeek() - 1]))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(when.time().toString(QStringLiteral("HH:mm:ss")))
        .arg(offset < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString AddressLiteral(const QHostAddress &local)
{
    if (local.isNull())
        return QStringLiteral("[127.0.0.1]");
    bool mapped = false;
    const quint32 ipv4 = local.toIPv4Address(&mapped);
    if (mapped)
        return u'[' + QHostAddress(ipv4).toString() + u']';
    QHostAddress withoutScope = local;
    withoutScope.setScopeId(QString());
    return QStringLiteral("[IPv6:") + withoutScope.toString() + u']';
}

QString DateText(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString TimeText(const QTime &time)
{
    return QLocale::system().toString(time, QLocale::ShortFormat);
}
