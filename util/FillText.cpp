#include "util/FillText.h"

QString FillText(const QString &text, const QStringList &arguments)
{
    QString filled;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int number = i + 1 < text.size() ? text.at(i + 1).digitValue() : -1;
        if (text.at(i) == u'%' && number >= 1 && number <= arguments.size()) {
            filled += arguments.at(number - 1);
            ++i;
        } else {
            filled += text.at(i);
        }
    }
    return filled;
}
