#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MsgBoxHandler &Handler()
{
    static MsgBoxHandler handler;
    return handler;
}

void ShowModal(const QString &text, int style, const QString &title)
{
    const QMessageBox::Icon icon = style == MsgBoxStyle::Exclamation ? QMessageBox::Warning
                                   : style == MsgBoxStyle::Critical  ? QMessageBox::Critical
                                                                     : QMessageBox::NoIcon;
    QMessageBox box(icon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

void MsgBox(const QString &text, int style, const QString &title)
{
    const QString shownTitle = title.isEmpty() ? QStringLiteral("Vormant") : title;
    if (Handler())
        Handler()(text, style, shownTitle);
    else
        ShowModal(text, style, shownTitle);
}

void SetMsgBoxHandler(MsgBoxHandler handler)
{
    Handler() = std::move(handler);
}
