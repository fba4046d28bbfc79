#include "engine/WindowControls.h"

#include "util/RuntimeError.h"

namespace Module1 {

namespace {
WindowControls *g_window = nullptr;
} // namespace

WindowControls &Window()
{
    if (!g_window)
        throw RuntimeError(ErrorNumber::ObjectVariableNotSet,
                           QStringLiteral("Object variable or With block variable not set"));
    return *g_window;
}

void SetWindow(WindowControls *window)
{
    g_window = window;
}

void ForgetWindow(const WindowControls *window)
{
    if (g_window == window)
        g_window = nullptr;
}

SocketArray &Sockets()
{
    return Window().Sockets();
}

LogControl &Log()
{
    return Window().Log();
}

QTimer &MonitorTimer()
{
    return Window().MonitorTimer();
}

void LockFields(WindowControls &window)
{
    for (const auto field : WindowControls::Fields)
        window.SetFieldEnabled(field, false);
    for (const auto field : WindowControls::Fields)
        window.ShowFieldLocked(field, true);
}

void UnlockFields(WindowControls &window)
{
    window.SetTestEnabled(true);
    for (const auto field : WindowControls::Fields)
        window.SetFieldEnabled(field, true);
    for (const auto field : WindowControls::Fields)
        window.ShowFieldLocked(field, false);
}

void UnlockWindow()
{
    UnlockFields(Window());
}

} // namespace Module1
