#pragma once

#include "engine/RunInput.h"

#include <QPointer>

class frmMain;

// Start-up and the one window; the input values of a run that the Test
// command writes are declared with the engine that reads them.
namespace Module1 {

// The one window; set by Main and never changed.
extern QPointer<frmMain> MainForm;

// Creates, loads and shows the window; the program then lives on its events.
void Main();

} // namespace Module1
