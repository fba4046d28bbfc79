#include "CommandServer.h"

#include "platform/TlsSessions.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

namespace {
void Print(const QJsonObject &object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

double Ms(qint64 fromNs, qint64 toNs)
{
    return fromNs < 0 || toNs < 0 ? -1.0 : double(toNs - fromNs) / 1e6;
}
} // namespace

CommandServer::CommandServer() : m_input(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&m_input, &QSocketNotifier::activated, this, &CommandServer::onInput);
}

void CommandServer::onInput()
{
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        m_input.setEnabled(false);
        QCoreApplication::quit();
        return;
    }
    m_pending.append(buffer, count);

    // A command runs nested event loops; no further input is read meanwhile.
    m_input.setEnabled(false);
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (!document.isObject())
            Print({{"error", QStringLiteral("not a JSON object: %1").arg(error.errorString())}});
        else
            Print(answer(document.object()));
    }
    m_input.setEnabled(true);
}

QJsonObject CommandServer::answer(const QJsonObject &command)
{
    const QString name = command.value("command").toString();
    if (name == u"test")
        return runTest(command);
    return {{"error", QStringLiteral("unknown command \"%1\"").arg(name)}};
}

QJsonObject CommandServer::runTest(const QJsonObject &command)
{
    const WindowDriver::Fields fields{
        command.value("message").toString(), command.value("email").toString(),
        command.value("user").toString(),    command.value("pass").toString(),
        command.value("server").toString(),
    };
    // A run told so offers no TLS session a former run left: a whole new handshake.
    if (command.value("forget_tls_sessions").toBool())
        m_driver.services().Tls().ForgetAll();
    const WindowDriver::Run run =
        m_driver.runTest(fields, command.value("timeout_ms").toInt(30000));

    // All times from the click, in milliseconds.
    return {
        {"ended", run.ended},
        {"boxes", QJsonArray::fromStringList(run.boxes)},
        {"connected_ms", Ms(run.clickNs, run.connectedNs)},
        {"greeting_ms", Ms(run.clickNs, run.greetingNs)},
        {"quit_reply_ms", Ms(run.clickNs, run.quitReplyNs)},
        {"verdict_ms", Ms(run.clickNs, run.verdictNs)},
        {"wait_cpu_ms", Ms(run.cpuAtConnectedNs, run.cpuAtGreetingNs)},
        {"wait_sleeps", double(run.sleepsAtGreeting - run.sleepsAtConnected)},
    };
}
