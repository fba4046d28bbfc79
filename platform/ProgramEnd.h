#pragma once

#include <functional>

// Ends the process at once with exit status 0: no further event is handled and
// no routine further down the call stack resumes.
void EndProgram();

// Tests that drive the shut-down inside their own process put a recorder here
// instead; EndProgram then calls it and returns. An empty function restores
// the real end of the process.
void SetProgramEndHandler(std::function<void()> handler);
