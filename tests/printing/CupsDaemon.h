#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A print server of the test's own: cupsd with its configuration, spool,
// logs and socket in a temporary folder, never the machine's, and one queue
// that prints into PDF files through the cups-pdf backend.
class CupsDaemon
{
public:
    explicit CupsDaemon(QString queueName);
    ~CupsDaemon();
    CupsDaemon(const CupsDaemon &) = delete;
    CupsDaemon &operator=(const CupsDaemon &) = delete;

    // Starts the server and sets up the queue. Returns why the server cannot
    // run here, empty when it runs.
    QString start();
    // Stops the server; true when it has ended.
    bool stop();

    QString socketPath() const { return m_dir.filePath(QStringLiteral("run/cups.sock")); }
    QString queueName() const { return m_queue; }
    // The tail of the server's error log, for a failure message.
    QString errorLog() const;
    // Processes still around that belong to this server (the daemon or a
    // filter or backend it started), by process id.
    QList<qint64> leftovers() const;

private:
    QString writeConfiguration();
    bool waitUntilServing();
    QString run(const QString &program, const QStringList &arguments, bool *ok) const;

    QString m_queue;
    QTemporaryDir m_dir;
    QProcess m_daemon;
};
