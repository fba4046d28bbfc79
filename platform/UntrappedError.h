#pragma once

#include <exception>

// An error that no routine on its way traps ends the program: a box with the
// error's number and text, then the end of the process, so that it never
// passes into the event loop and out through std::terminate without a word.
// The box is "Run-time error 'N':", a blank line and the description; an
// error that is not a RuntimeError is shown as out of memory (7) or as an
// internal error (51) with what it says of itself.
void ReportUntrappedError(const std::exception_ptr &error);
