#include "support/EngineRun.h"

#include "app/Module1.h"
#include "engine/ServerAddress.h"
#include "engine/modQuendel_EmailClient.h"
#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"
#include "util/Colors.h"

#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <array>

EngineRun::EngineRun() : m_window(std::make_unique<frmMain>())
{
    Module1::MainForm = m_window.get();
    Module1::SetWindow(m_window.get());
    SetMsgBoxHandler([this](const QString &text, int style, const QString &title) {
        m_boxes.append({text, style, title});
        if (m_boxHoldMs > 0)
            QTest::qWait(m_boxHoldMs);
    });
    SetProgramEndHandler([this] { ++m_programEnds; });
    m_window->show();
}

EngineRun::~EngineRun()
{
    SetMsgBoxHandler({});
    SetProgramEndHandler({});
}

void EngineRun::fill(const QString &message, const QString &email, const QString &user,
                     const QString &pass, const QString &server)
{
    m_window->txtMessage->setText(message);
    m_window->txtEmail->setText(email);
    m_window->txtUser->setText(user);
    m_window->txtPass->setText(pass);
    m_window->txtServer->setText(server);
}

void EngineRun::clickTest()
{
    m_window->cmdTest_Click();
}

bool EngineRun::waitForRunEnd(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_window->tmrEmail->isActive(); }, timeoutMs);
}

QStringList EngineRun::boxTexts() const
{
    QStringList texts;
    for (const Box &box : m_boxes)
        texts.append(box.text);
    return texts;
}

QStringList EngineRun::logLines() const
{
    QStringList lines;
    const QTextDocument *document = m_window->rtbStatus->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().isEmpty()) {
            lines.append(QString());
            continue;
        }
        const QColor colour = block.begin().fragment().charFormat().foreground().color();
        QString tag = QStringLiteral("?:");
        if (colour == Colors::ToQColor(Colors::White))
            tag = QStringLiteral("W:");
        else if (colour == Colors::ToQColor(Colors::Yellow))
            tag = QStringLiteral("Y:");
        else if (colour == Colors::ToQColor(Colors::Cyan))
            tag = QStringLiteral("C:");
        lines.append(tag + block.text());
    }
    // The log ends with a line end, which leaves an empty last block.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    // What changes from run to run reads the same in every run: the port of
    // the server typed (a port other than that one stays as it is), the
    // milliseconds the dialogue took and the seconds a slow reply took.
    const QString typedPort =
        QStringLiteral(" port %1").arg(ParseServerAddress(m_window->txtServer->text()).port);
    static const QRegularExpression took(QStringLiteral("^(C:The dialogue took )\\d+( ms)"));
    static const QRegularExpression slow(
        QStringLiteral("^(C:The (?:greeting|reply to .+) took )\\d+\\.\\d( seconds\\.)$"));
    for (QString &line : lines) {
        if (line.startsWith(QStringLiteral("C:")))
            line.replace(typedPort, QStringLiteral(" port {port}"));
        line.replace(took, QStringLiteral("\\1#\\2"));
        line.replace(slow, QStringLiteral("\\1#\\2"));
    }
    return lines;
}

bool EngineRun::windowUnlocked() const
{
    const std::array fields{m_window->txtMessage, m_window->txtEmail, m_window->txtUser,
                            m_window->txtPass, m_window->txtServer};
    if (!m_window->cmdTest->isEnabled())
        return false;
    for (const QLineEdit *field : fields) {
        if (!field->isEnabled() || BackColor(field) != Colors::White)
            return false;
    }
    return true;
}
