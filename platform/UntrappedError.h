#pragma once

#include <exception>
#include <utility>

// An error that no routine on its way traps ends the program: a box with the
// error's number and text, then the end of the process, so that it never
// passes into the event loop and out through std::terminate without a word.
// The box is "Run-time error 'N':", a blank line and the description; an
// error that is not a RuntimeError is shown as out of memory (7) or as an
// internal error (51) with what it says of itself.
void ReportUntrappedError(const std::exception_ptr &error);

// Every routine that Qt calls (a handler of the window's events, a timer's,
// a look-up's) runs inside Trapped: what it does not trap is reported here,
// so that no error unwinds through Qt's own code, which cannot carry one.
template <typename Routine> void Trapped(Routine &&routine) noexcept
{
    try {
        std::forward<Routine>(routine)();
    } catch (...) {
        ReportUntrappedError(std::current_exception());
    }
}
