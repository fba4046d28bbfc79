#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// An X display of the test's own: Xvfb on a display number that it picks
// itself, so that tests running side by side never meet. Programs started
// with environment() show their windows there; xdotool drives them.
class XvfbDisplay
{
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;

    // Empty when the display is up; otherwise what went wrong.
    QString startError() const { return m_startError; }
    QString name() const { return m_name; } // ":N"
    // The test's environment with DISPLAY set and Qt told to use X11.
    QProcessEnvironment environment() const;

    // Runs a helper program (xdotool, a script) on this display and returns
    // its standard output; ok tells whether it ended with status 0.
    QByteArray run(const QString &program, const QStringList &arguments, bool *ok = nullptr,
                   int timeoutMs = 30000) const;
    QByteArray xdotool(const QStringList &arguments, bool *ok = nullptr) const;

    // The visible top-level windows with exactly this title.
    QStringList visibleWindows(const QString &title) const;

private:
    QProcess m_server;
    QString m_name;
    QString m_startError;
};
