#include "app/Module1.h"

#include "app/frmMain.h"
#include "engine/WindowControls.h"

namespace Module1 {

QPointer<frmMain> MainForm;

void Main()
{
    // A top-level window has no parent: it releases itself when it closes.
    MainForm = new frmMain;
    SetWindow(MainForm);
    MainForm->setAttribute(Qt::WA_DeleteOnClose);
    MainForm->setWindowState(Qt::WindowNoState);
    MainForm->CentreOnScreen();
    MainForm->show();
}

} // namespace Module1
