#pragma once

#include "engine/WindowControls.h"
#include "platform/LogControl.h"
#include "platform/SocketArray.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

// A status log without a widget: it keeps what was written, in its colours,
// and reads back as the window's log shows it, line for line and colour for
// colour.
class RecordedLog : public LogControl
{
public:
    struct Line
    {
        // The colour of the line's first character; none for the text of
        // SetText, which the log shows in its plain colour.
        std::optional<std::uint32_t> colour;
        QString text;
        std::uint32_t mark = 0; // the mark of the line's first character
    };

    void SetText(const QString &text) override;
    void SetSelColor(std::uint32_t colour) override { m_selColor = colour; }
    void InsertText(const QString &text) override { InsertMarkedText(text, 0); }
    void InsertMarkedText(const QString &text, std::uint32_t mark) override;
    QString Text() const override;
    void HoldInsertions() override { m_holding = true; }
    void InsertHeld() override;

    // The log's lines; a last line end leaves an empty last line.
    QList<Line> Lines() const;

private:
    struct Piece
    {
        std::optional<std::uint32_t> colour;
        QString text;
        std::uint32_t mark = 0;
    };
    QList<Piece> m_pieces;
    QList<Piece> m_held;
    std::uint32_t m_selColor = 0xFFFFFF;
    bool m_holding = false;
};

class StatusLog;
// The lines of the window's log as RecordedLog::Lines gives them: the colour
// is known only for white, yellow and cyan.
QList<RecordedLog::Line> ShownLines(const StatusLog &log);

// The window the engine sees, without a window: five fields, Test, the log,
// the monitor timer and the socket array, their events handed to the engine
// as the window hands them.
class HeadlessWindow : public QObject, public WindowControls
{
public:
    HeadlessWindow();
    ~HeadlessWindow() override;

    void SetFieldText(Field field, const QString &text) { At(field).text = text; }
    bool FieldEnabled(Field field) const { return At(field).enabled; }
    bool FieldShownLocked(Field field) const { return At(field).shownLocked; }
    bool TestEnabled() const { return m_testEnabled; }
    RecordedLog &Recorded() { return m_log; }

    QString FieldText(Field field) const override { return At(field).text; }
    void SetFieldEnabled(Field field, bool enabled) override { At(field).enabled = enabled; }
    void ShowFieldLocked(Field field, bool locked) override { At(field).shownLocked = locked; }
    void SetTestEnabled(bool enabled) override { m_testEnabled = enabled; }
    void ParkFocus() override {}
    LogControl &Log() override { return m_log; }
    QTimer &MonitorTimer() override { return m_timer; }
    SocketArray &Sockets() override { return m_sockets; }

private:
    struct FieldState
    {
        QString text;
        bool enabled = true;
        bool shownLocked = false;
    };
    FieldState &At(Field field) { return m_fields[std::size_t(field)]; }
    const FieldState &At(Field field) const { return m_fields[std::size_t(field)]; }

    std::array<FieldState, 5> m_fields;
    bool m_testEnabled = true;
    RecordedLog m_log;
    QTimer m_timer;
    SocketArray m_sockets;
};
