#include "printing/PrintDialogDriver.h"

#include <QApplication>
#include <QTimer>

void WhenPrintDialogOpens(QObject *context, std::function<void(QPrintDialog &)> act)
{
    auto *poll = new QTimer(context);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, context, [poll, act = std::move(act)] {
        if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start();
}
