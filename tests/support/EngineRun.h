#pragma once

#include "app/frmMain.h"
#include "support/HeadlessWindow.h"
#include "support/MxResolver.h"
#include "support/TestServices.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// One window on which a test runs the Test command as a user would: by
// default a headless one, the real window offscreen where the window itself
// is under test. It runs under test services (TestServices.h): message boxes
// are recorded, never shown; the program end is recorded instead of ending
// the test.
class EngineRun
{
public:
    enum class On { Headless, Form };
    using Box = TestServices::Box;

    // Under services of its own.
    explicit EngineRun(On on = On::Headless);
    // Under services the test keeps beyond the run (the TLS sessions of an
    // earlier run, the file a dialog chose).
    explicit EngineRun(TestServices &services, On on = On::Headless);
    ~EngineRun();

    TestServices &services() { return m_services; }

    // The window the run works on.
    WindowControls &controls() { return *m_controls; }
    // The real window; only for a run On::Form.
    frmMain &window();
    // The headless window; only for a run On::Headless.
    HeadlessWindow &headless();

    void fill(const QString &message, const QString &email, const QString &user,
              const QString &pass, const QString &server);
    // Clicks Test; returns when the click handler returns.
    void clickTest();
    // Waits (event loop running) until the monitor has ended the run.
    bool waitForRunEnd(int timeoutMs = 20000);

    // Each box stays "open" this long: the event loop runs meanwhile, as it
    // does under a real modal box, so ticks and socket events go on.
    void holdBoxesOpen(int ms) { m_boxHoldMs = ms; }

    // The boxes and program ends since the run's window was made.
    QList<Box> boxes() const { return m_services.boxes().mid(m_firstBox); }
    QStringList boxTexts() const { return m_services.boxTexts(m_firstBox); }
    int programEnds() const { return m_services.programEnds() - m_firstEnd; }

    // The log as plain text with CR LF line ends.
    QString logText() { return m_controls->Log().Text(); }
    SocketArray &sockets() { return m_controls->Sockets(); }
    bool runOn() { return m_controls->MonitorTimer().isActive(); }

    // The log line by line: "W:" white text, "Y:" yellow text, a note or a
    // hint by its id as Expect::Note and Expect::Hint give it, "C:" other cyan
    // text, "?:" anything else; an empty line is "". What a note says is
    // checked once, in the table of note texts, not in every whole log.
    QStringList logLines() const;

    // The window is idle: Test and the five fields enabled, fields white.
    bool windowUnlocked() const;

private:
    EngineRun(std::unique_ptr<TestServices> own, TestServices *shared, On on);

    // The services outlive the window, whose sockets still keep their TLS
    // sessions as they close.
    std::unique_ptr<TestServices> m_ownServices;
    TestServices &m_services;
    const qsizetype m_firstBox;
    const int m_firstEnd;
    std::function<void(const Box &)> m_whileBoxOpenBefore;
    // A run looks up no MX records unless its test gives a resolver of its own.
    const MxResolver m_noLookups;
    std::unique_ptr<frmMain> m_form;
    std::unique_ptr<HeadlessWindow> m_headless;
    WindowControls *m_controls = nullptr;
    int m_boxHoldMs = 0;
};
