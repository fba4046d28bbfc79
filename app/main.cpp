#include "app/Application.h"
#include "app/Module1.h"
#include "platform/UntrappedError.h"

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("Vormant"));
    Application::setApplicationDisplayName(QStringLiteral("Vormant"));
    Application::setDesktopFileName(QStringLiteral("vormant"));
    try {
        Module1::Main();
    } catch (...) {
        ReportUntrappedError(std::current_exception());
    }
    return Application::exec();
}
