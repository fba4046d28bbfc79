#pragma once

#include <QPrintDialog>
#include <functional>

class QObject;

// Acts on the real printer dialog as soon as it is open, as a user would,
// so that its modal loop ends without anybody at the screen.
void WhenPrintDialogOpens(QObject *context, std::function<void(QPrintDialog &)> act);
