#include "platform/MessageBox.h"

#include "platform/Services.h"

void MsgBox(const QString &text, int style, const QString &title)
{
    Services::InUse().ShowMessageBox(text, style,
                                     title.isEmpty() ? QStringLiteral("Vormant") : title);
}
