#include "app/Module1.h"
#include "platform/QtServices.h"
#include "platform/UntrappedError.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vormant"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vormant"));
    QApplication::setDesktopFileName(QStringLiteral("vormant"));
    // The desktop's own services, in use from before the window exists until
    // the process ends.
    QtServices services;
    const UseServices inUse(services);
    Trapped(Module1::Main);
    return QApplication::exec();
}
