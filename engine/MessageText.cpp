#include "engine/MessageText.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

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

QString BodyForWire(const QString &body)
{
    QString unified = body;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');

    QStringList lines = unified.split(u'\n');
    for (QString &line : lines) {
        if (line.startsWith(u'.'))
            line.prepend(u'.');
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString DateText()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString TimeText()
{
    return QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat);
}
