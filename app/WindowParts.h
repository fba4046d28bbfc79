#pragma once

class QTimer;
class QWidget;
class SocketArray;
class StatusLog;

// What the mail engine and printing use of the one window. They reach these
// parts and nothing else of it: not the fields, not the buttons.
namespace Module1 {

// The socket array EmailSock; Sockets()(i) is element i.
SocketArray &Sockets();
// The status log rtbStatus.
StatusLog &Log();
// The monitor timer tmrEmail.
QTimer &MonitorTimer();
// Test and the five fields enabled again, the fields white.
void UnlockWindow();
// The window, as the owner of dialogs and of the engine's own timers.
QWidget *WindowOwner();

} // namespace Module1
