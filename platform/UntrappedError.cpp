#include "platform/UntrappedError.h"

#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"
#include "util/RuntimeError.h"

#include <new>

namespace {
constexpr int OutOfMemory = 7;
constexpr int InternalError = 51;

RuntimeError AsRuntimeError(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const RuntimeError &runtimeError) {
        return runtimeError;
    } catch (const std::bad_alloc &) {
        return {OutOfMemory, QStringLiteral("Out of memory")};
    } catch (const std::exception &other) {
        return {InternalError,
                QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(other.what()))};
    } catch (...) {
        return {InternalError, QStringLiteral("Internal error")};
    }
}
} // namespace

void ReportUntrappedError(const std::exception_ptr &error)
{
    const RuntimeError shown = AsRuntimeError(error);
    MsgBox(QStringLiteral("Run-time error '%1':\r\n\r\n%2")
               .arg(shown.number())
               .arg(shown.description()),
           MsgBoxStyle::Critical);
    EndProgram();
}
