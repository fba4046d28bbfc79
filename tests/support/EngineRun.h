#pragma once

#include "app/frmMain.h"
#include "support/MxResolver.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// One window, offscreen, on which a test runs the Test command as a user
// would. Message boxes are recorded, never shown; the program end is recorded
// instead of ending the test.
class EngineRun
{
public:
    struct Box
    {
        QString text;
        int style;
        QString title;
    };

    EngineRun();
    ~EngineRun();

    frmMain &window() { return *m_window; }

    void fill(const QString &message, const QString &email, const QString &user,
              const QString &pass, const QString &server);
    // Clicks Test; returns when the click handler returns.
    void clickTest();
    // Waits (event loop running) until the monitor has ended the run.
    bool waitForRunEnd(int timeoutMs = 20000);

    // Each box stays "open" this long: the event loop runs meanwhile, as it
    // does under a real modal box, so ticks and socket events go on.
    void holdBoxesOpen(int ms) { m_boxHoldMs = ms; }

    const QList<Box> &boxes() const { return m_boxes; }
    QStringList boxTexts() const;
    int programEnds() const { return m_programEnds; }

    // The log line by line: "W:" white text, "Y:" yellow text, "C:" the
    // tool's cyan notes, "?:" anything else; an empty line is "". The port of
    // the server typed reads "{port}" in the notes, and the
    // time the dialogue or a slow reply took reads "#".
    QStringList logLines() const;

    // The window is idle: Test and the five fields enabled, fields white.
    bool windowUnlocked() const;

private:
    // A run looks up no MX records unless its test gives a resolver of its own.
    const MxResolver m_noLookups;
    std::unique_ptr<frmMain> m_window;
    QList<Box> m_boxes;
    int m_programEnds = 0;
    int m_boxHoldMs = 0;
};
