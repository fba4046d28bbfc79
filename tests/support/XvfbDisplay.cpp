#include "support/XvfbDisplay.h"

#include <QRegularExpression>

XvfbDisplay::XvfbDisplay()
{
    // -displayfd: Xvfb takes the first free display and writes its number
    // to standard output once it accepts clients.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
    if (!m_server.waitForStarted(30000)) {
        m_startError = QStringLiteral("cannot start Xvfb: %1").arg(m_server.errorString());
        return;
    }
    while (!m_server.canReadLine()) {
        if (!m_server.waitForReadyRead(30000)) {
            m_startError = QStringLiteral("Xvfb gave no display number: %1")
                               .arg(QString::fromLocal8Bit(m_server.readAllStandardError()));
            return;
        }
    }
    m_name = QStringLiteral(":") + QString::fromLatin1(m_server.readLine().trimmed());
}

XvfbDisplay::~XvfbDisplay()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(10000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QProcessEnvironment XvfbDisplay::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

QByteArray XvfbDisplay::run(const QString &program, const QStringList &arguments, bool *ok,
                            int timeoutMs) const
{
    QProcess helper;
    helper.setProcessEnvironment(environment());
    helper.start(program, arguments);
    const bool finished = helper.waitForStarted(timeoutMs) && helper.waitForFinished(timeoutMs);
    if (!finished) {
        helper.kill();
        helper.waitForFinished(5000);
    }
    if (ok)
        *ok = finished && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
    return helper.readAllStandardOutput();
}

QByteArray XvfbDisplay::xdotool(const QStringList &arguments, bool *ok) const
{
    return run(QStringLiteral("xdotool"), arguments, ok);
}

QStringList XvfbDisplay::visibleWindows(const QString &title) const
{
    const QString pattern = QStringLiteral("^%1$").arg(QRegularExpression::escape(title));
    const QByteArray ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), pattern});
    return QString::fromLatin1(ids).split(u'\n', Qt::SkipEmptyParts);
}
