#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

// The message a run sends after DATA, as the tests expect it: the parts that
// differ from run to run (the Date header's value, the unique part of the
// Message-ID) stand as "<date>" and "<id>" once a run's data went through
// Masked, which puts them there only when they have their proper form.
namespace MessageShape {

inline QByteArray Masked(QByteArray data)
{
    static const QRegularExpression date(
        QStringLiteral("(?<=\r\nDate: |^Date: )(Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                       "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}(?=\r\n)"));
    static const QRegularExpression id(
        QStringLiteral("(?<=\r\nMessage-ID: <)[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-"
                       "[0-9a-f]{12}(?=@)"));
    QString text = QString::fromUtf8(data);
    text.replace(date, QStringLiteral("<date>"));
    text.replace(id, QStringLiteral("<id>"));
    return text.toUtf8();
}

// The data from the headers to the end-of-data line. toHeader is the To
// header's value, from the address in From (and the Message-ID's domain),
// stamp the date and time of the body's first line, wireBody the typed body
// as it goes out.
inline QByteArray Expected(const QByteArray &toHeader, const QByteArray &from,
                           const QByteArray &stamp, const QByteArray &wireBody,
                           const QByteArray &encoding = "7bit")
{
    const QByteArray domain = from.mid(from.indexOf('@') + 1);
    return "Date: <date>\r\nFrom: Vormant <" + from + ">\r\nTo: " + toHeader +
           "\r\nSubject: Vormant\r\nMessage-ID: <<id>@" + domain +
           ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: " +
           encoding + "\r\n\r\nTest Message Sent: " + stamp + "\r\n" + wireBody + "\r\n\r\n.\r\n";
}

// The From address of a message sent without a login address.
inline const QByteArray Admin = "Admin@vormant.invalid";

// The To header of a plain recipient such as "bob@example.com":
// "bob <bob@example.com>".
inline QByteArray ToHeader(const QString &address)
{
    return address.left(address.indexOf(u'@')).toUtf8() + " <" + address.toUtf8() + ">";
}

} // namespace MessageShape
