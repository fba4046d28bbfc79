#pragma once

#include <QString>
#include <QStringList>

// The text with %1, %2, ... replaced by the arguments in one pass: nothing in
// an argument (a "%2" in a host name typed) is ever taken for a placeholder,
// and a text may leave an argument out.
QString FillText(const QString &text, const QStringList &arguments);
