#pragma once

// Ends the process at once with exit status 0: no further event is handled and
// no routine further down the call stack resumes. Under a test's services
// (Services.h) the end is recorded and EndProgram returns.
void EndProgram();
