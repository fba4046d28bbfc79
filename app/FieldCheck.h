#pragma once

#include <QString>

// The check of the Test click: the text of the "Form Fill Error!" box for the
// first field that cannot start a run, or an empty text when all can.
QString FieldCheckError(const QString &message, const QString &email, const QString &server);
