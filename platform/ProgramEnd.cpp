#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::function<void()> &Handler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

void EndProgram()
{
    if (Handler()) {
        Handler()();
        return;
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

void SetProgramEndHandler(std::function<void()> handler)
{
    Handler() = std::move(handler);
}
