#pragma once

#include <QString>

class LogControl;
class QTimer;
class SocketArray;

// What the mail engine may do to the window's controls, and
// nothing more: the window implements it, a test can stand in for it. The
// engine never sees a widget.
class WindowControls
{
public:
    // The five input fields of a test.
    enum class Field { Message, Email, User, Pass, Server };
    static constexpr Field Fields[] = {Field::Message, Field::Email, Field::User, Field::Pass,
                                       Field::Server};

    virtual ~WindowControls() = default;

    virtual QString FieldText(Field field) const = 0;
    virtual void SetFieldEnabled(Field field, bool enabled) = 0;
    // The field's background shows whether a run has it locked; which
    // colours say so is the window's choice.
    virtual void ShowFieldLocked(Field field, bool locked) = 0;
    // The Test button.
    virtual void SetTestEnabled(bool enabled) = 0;
    // The focus-parking box takes the keyboard focus.
    virtual void ParkFocus() = 0;
    // The status log rtbStatus.
    virtual LogControl &Log() = 0;
    // The monitor timer tmrEmail.
    virtual QTimer &MonitorTimer() = 0;
    // The socket array EmailSock; Sockets()(i) is element i.
    virtual SocketArray &Sockets() = 0;
};

// The window as the engine reaches it, through the program-wide
// reference to the one window.
namespace Module1 {

// The window a run works on: start-up sets it together with MainForm, a test
// may set its own. Asking while there is none is a run-time error.
WindowControls &Window();
void SetWindow(WindowControls *window);
// Forgets the window, if it is that one: a window that goes leaves nothing behind.
void ForgetWindow(const WindowControls *window);

SocketArray &Sockets();
LogControl &Log();
QTimer &MonitorTimer();
// The five fields disabled and grey while a run is on.
void LockFields(WindowControls &window);
// Test and the five fields enabled again, the fields white.
void UnlockFields(WindowControls &window);
// UnlockFields of the run's window.
void UnlockWindow();

} // namespace Module1
