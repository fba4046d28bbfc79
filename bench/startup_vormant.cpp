// Vormant's own start-up, as the program's main() does it, with the probe
// that reports when the window is up and idle.

#include "StartupProbe.h"
#include "app/Module1.h"
#include "app/frmMain.h"
#include "platform/QtServices.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vormant"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vormant"));
    QApplication::setDesktopFileName(QStringLiteral("vormant"));
    QtServices services;
    const UseServices inUse(services);
    Module1::Main();
    ReportWhenShownAndIdle(Module1::MainForm);
    return QApplication::exec();
}
