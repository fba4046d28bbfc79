#pragma once

#include <QString>
#include <cstdint>

// The status log as the rest of the program writes and reads it: the four
// operations of the coloured log, and a hold that lets a burst of insertions
// wait until urgent work is done. Nothing here is a widget.
class LogControl
{
public:
    virtual ~LogControl() = default;

    // Replaces the whole text; an empty text clears the log.
    virtual void SetText(const QString &text) = 0;
    // The colour, 0x00BBGGRR, of the text inserted next.
    virtual void SetSelColor(std::uint32_t colour) = 0;
    // Inserts text at the end of the log, where the insertion point rests
    // after a clear, whatever the user clicked or selected meanwhile.
    virtual void InsertText(const QString &text) = 0;
    // Inserts text as InsertText does, with a mark that the log keeps beside
    // it and never shows: the writer's own number for what the text stands
    // for, so that a reader can tell lines of one colour apart. 0: none.
    virtual void InsertMarkedText(const QString &text, std::uint32_t mark) = 0;
    // The whole log as plain text with CR LF line ends.
    virtual QString Text() const = 0;

    // Between these two, insertions wait and then go into the log together,
    // in their order and colours.
    virtual void HoldInsertions() = 0;
    virtual void InsertHeld() = 0;
};
