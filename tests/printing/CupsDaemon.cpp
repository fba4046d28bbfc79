#include "printing/CupsDaemon.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString PdfPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
const QString PdfBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");

bool WriteFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

QByteArray ReadProcFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

CupsDaemon::CupsDaemon(QString queueName) : m_queue(std::move(queueName)) {}

CupsDaemon::~CupsDaemon()
{
    stop();
}

QString CupsDaemon::start()
{
    const QString cupsd =
        QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
    if (cupsd.isEmpty())
        return QStringLiteral("cupsd is not installed (Debian package cups-daemon)");
    if (!QFile::exists(PdfBackend) || !QFile::exists(PdfPpd))
        return QStringLiteral("cups-pdf is not installed (printer-driver-cups-pdf)");
    // cupsd runs a backend that only root may run (cups-pdf) only as root.
    if (::geteuid() != 0)
        return QStringLiteral("cupsd can run the cups-pdf backend only when started by root");
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder for cupsd");
    if (const QString problem = writeConfiguration(); !problem.isEmpty())
        return problem;

    m_daemon.setProgram(cupsd);
    m_daemon.setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                           m_dir.filePath(QStringLiteral("etc/cupsd.conf")), QStringLiteral("-s"),
                           m_dir.filePath(QStringLiteral("etc/cups-files.conf"))});
    // Should the test itself die, the server goes with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return QStringLiteral("cupsd cannot be started: ") + m_daemon.errorString();
    if (!waitUntilServing())
        return QStringLiteral("cupsd did not start serving: ") +
               QString::fromLocal8Bit(m_daemon.readAll()) + errorLog();

    // The Cairo renderer keeps the text of the PDF readable on its way through
    // PostScript, as Debian's cups-pdf documentation advises for such queues.
    bool ok = false;
    const QString output = run(
        QStringLiteral("lpadmin"),
        {QStringLiteral("-h"), socketPath(), QStringLiteral("-p"), m_queue, QStringLiteral("-E"),
         QStringLiteral("-v"), QStringLiteral("cups-pdf:/"), QStringLiteral("-P"), PdfPpd,
         QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")},
        &ok);
    if (!ok)
        return QStringLiteral("lpadmin could not add the queue: ") + output;
    return {};
}

QString CupsDaemon::writeConfiguration()
{
    const group *lp = ::getgrnam("lp");
    if (!lp)
        return QStringLiteral("there is no group lp for cupsd's filters");
    const QDir root(m_dir.path());
    for (const char *folder : {"etc", "spool", "tmp", "cache", "state", "log", "run"})
        root.mkpath(QLatin1String(folder));
    // The filters run as lp: they need a way into the folders and a place of
    // their own for temporary files.
    ::chmod(QFile::encodeName(root.path()).constData(), 0755);
    const QByteArray tmp = QFile::encodeName(root.filePath(QStringLiteral("tmp")));
    if (::chown(tmp.constData(), 0, lp->gr_gid) != 0 || ::chmod(tmp.constData(), 01770) != 0)
        return QStringLiteral("cannot prepare cupsd's temporary folder");

    const QString cupsdConf = QStringLiteral("Listen %1\n"
                                             "LogLevel debug\n"
                                             "Browsing No\n"
                                             "WebInterface No\n"
                                             "DefaultAuthType None\n"
                                             "<Location />\n  Order allow,deny\n  Allow all\n"
                                             "</Location>\n"
                                             "<Policy default>\n  <Limit All>\n"
                                             "    Order deny,allow\n  </Limit>\n</Policy>\n")
                                  .arg(socketPath());
    const QString filesConf = QStringLiteral("ServerRoot %1/etc\n"
                                             "RequestRoot %1/spool\n"
                                             "TempDir %1/tmp\n"
                                             "CacheDir %1/cache\n"
                                             "StateDir %1/state\n"
                                             "ServerBin /usr/lib/cups\n"
                                             "DataDir /usr/share/cups\n"
                                             "AccessLog %1/log/access_log\n"
                                             "ErrorLog %1/log/error_log\n"
                                             "PageLog %1/log/page_log\n"
                                             "Printcap %1/run/printcap\n"
                                             "User lp\n"
                                             "Group lp\n"
                                             "SystemGroup root\n")
                                  .arg(root.path());
    if (!WriteFile(root.filePath(QStringLiteral("etc/cupsd.conf")), cupsdConf) ||
        !WriteFile(root.filePath(QStringLiteral("etc/cups-files.conf")), filesConf))
        return QStringLiteral("cannot write cupsd's configuration");
    return {};
}

bool CupsDaemon::waitUntilServing()
{
    return QTest::qWaitFor(
               [this] {
                   if (m_daemon.state() != QProcess::Running)
                       return true;
                   if (!QFile::exists(socketPath()))
                       return false;
                   bool ok = false;
                   run(QStringLiteral("lpstat"),
                       {QStringLiteral("-h"), socketPath(), QStringLiteral("-r")}, &ok);
                   return ok;
               },
               30000) &&
           m_daemon.state() == QProcess::Running;
}

QString CupsDaemon::run(const QString &program, const QStringList &arguments, bool *ok) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    *ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return QString::fromLocal8Bit(process.readAll());
}

bool CupsDaemon::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return true;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(30000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(10000);
    }
    return m_daemon.state() == QProcess::NotRunning;
}

QString CupsDaemon::errorLog() const
{
    QFile file(m_dir.filePath(QStringLiteral("log/error_log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    return QString::fromLocal8Bit(text.right(4000));
}

QList<qint64> CupsDaemon::leftovers() const
{
    // The server and everything it starts carry the folder in their command
    // line or their environment (CUPS_SERVERROOT and the like).
    const QByteArray mark = QFile::encodeName(m_dir.path());
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        const QString base = QStringLiteral("/proc/") + entry;
        if (ReadProcFile(base + QStringLiteral("/cmdline")).contains(mark) ||
            ReadProcFile(base + QStringLiteral("/environ")).contains(mark))
            found.append(pid);
    }
    return found;
}
