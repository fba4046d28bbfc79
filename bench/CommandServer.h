#pragma once

#include "WindowDriver.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QSocketNotifier>

// Takes commands from stdin, one JSON object a line, and answers each with
// one JSON line on stdout, so that the script that runs the benchmark can
// interleave the window's runs with other clients' runs in the same round.
//
//   {"command": "test", "message": ..., "email": ..., "user": ..., "pass": ...,
//    "server": "host:port", "timeout_ms": ...}
//
// clicks Test on the one window and reports the run. End of input ends the
// program.
class CommandServer : public QObject
{
    Q_OBJECT
public:
    CommandServer();

private:
    void onInput();
    QJsonObject answer(const QJsonObject &command);
    QJsonObject runTest(const QJsonObject &command);

    WindowDriver m_driver;
    QSocketNotifier m_input;
    QByteArray m_pending;
};
