#include "platform/printer/PrintDialog.h"

#include "platform/printer/PrintDialogQt.h"
#include "platform/printer/PrinterErrors.h"
#include "util/RuntimeError.h"

#include <QApplication>

namespace {
PrintDialogFactory &Factory()
{
    static PrintDialogFactory factory;
    return factory;
}

std::unique_ptr<PrintDialogComponent> CreateReal()
{
    // The dialog is a widget: without a widget application there is none.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    return std::make_unique<QtPrintDialog>();
}
} // namespace

std::unique_ptr<PrintDialogComponent> CreatePrintDialog()
{
    std::unique_ptr<PrintDialogComponent> dialog = Factory() ? Factory()() : CreateReal();
    if (!dialog)
        throw RuntimeError(PrinterError::DialogUnavailable,
                           QStringLiteral("The printer dialog is not available"));
    return dialog;
}

void SetPrintDialogFactory(PrintDialogFactory factory)
{
    Factory() = std::move(factory);
}
