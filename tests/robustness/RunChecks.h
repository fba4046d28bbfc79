#pragma once

#include "support/EngineRun.h"

#include <QString>

// What a user typed into the five fields.
struct Fields
{
    QString message;
    QString email;
    QString user;
    QString pass;
    QString server;
};

void Fill(EngineRun &run, const Fields &fields);

// After a run, whatever its end: the window is idle and ready (Test and the
// fields enabled and white, the timer stopped, no socket element left but
// element 0), the program still runs, and the fields hold what was typed.
// Reports through QTest; the caller checks QTest::currentTestFailed().
void VerifyWindowReady(EngineRun &run, const Fields &typed);

// A further run in the same window against a server that accepts everything:
// it starts from an empty log and ends with "Email Sent" alone.
void VerifyNextRunWorks(EngineRun &run);
