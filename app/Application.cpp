#include "app/Application.h"

#include "platform/UntrappedError.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportUntrappedError(std::current_exception());
        return false;
    }
}
