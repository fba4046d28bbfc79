#include "app/Module1.h"
#include "platform/UntrappedError.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vormant"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vormant"));
    QApplication::setDesktopFileName(QStringLiteral("vormant"));
    Trapped(Module1::Main);
    return QApplication::exec();
}
