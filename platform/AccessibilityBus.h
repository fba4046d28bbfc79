#pragma once

class QObject;

// What the program tells assistive technology (a screen reader, a braille
// display, any program listening on the desktop's accessibility bus) passes
// through here first.
namespace AccessibilityBus {

// Puts the guard between the controls and the platform's accessibility
// bridge; once is enough, a second call changes nothing. The guard masks
// what a password field reports when its text changes: Qt's bridge would
// otherwise send every typed and deleted character of it in clear.
void Guard();

// The control takes no part in what assistive technology is told: none of
// its events goes out. (Its container leaves it out of its children; see
// IsLeftOut.)
void LeaveOut(QObject *control);
bool IsLeftOut(const QObject *control);

} // namespace AccessibilityBus
