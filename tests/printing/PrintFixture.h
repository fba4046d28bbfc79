#pragma once

#include "printing/RecordingPrinter.h"

#include "platform/StatusLog.h"
#include "support/TestServices.h"

#include <QList>
#include <QStringList>

// A recording printing system in place of the real one, with message boxes
// recorded (as "Box:<text>" in the event list too) instead of shown. The
// printers are Home (current), Office and whatever else a test lists.
class PrintFixture
{
public:
    using Box = TestServices::Box;

    explicit PrintFixture(const QStringList &extraPrinters = {});
    PrintFixture(const PrintFixture &) = delete;
    PrintFixture &operator=(const PrintFixture &) = delete;

    TestServices services;
    QStringList events;
    QList<Box> boxes;
    RecordingPrinter printer;
    SubstitutedPrinting substituted{services, printer};
    StatusLog log;

    // Where an event first occurs; -1 when it does not.
    qsizetype indexOf(const QString &event) const { return events.indexOf(event); }
    // The events that begin with this text.
    QStringList eventsStartingWith(const QString &prefix) const;
};
