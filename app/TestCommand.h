#pragma once

class WindowControls;

// The Test command on a window: the field check, then a run from what the
// fields hold. The window's click runs it; so can a window of a test's own.
void TestClick(WindowControls &window);
