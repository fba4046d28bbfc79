#include "support/EngineRun.h"

#include "support/Expectations.h"

#include "app/Module1.h"
#include "app/TestCommand.h"
#include "engine/Notes.h"
#include "engine/ServerAddress.h"
#include "util/Colors.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>

EngineRun::EngineRun(On on) : EngineRun(std::make_unique<TestServices>(), nullptr, on) {}

EngineRun::EngineRun(TestServices &services, On on) : EngineRun(nullptr, &services, on) {}

EngineRun::EngineRun(std::unique_ptr<TestServices> own, TestServices *shared, On on)
    : m_ownServices(std::move(own)), m_services(shared ? *shared : *m_ownServices),
      m_firstBox(m_services.boxes().size()), m_firstEnd(m_services.programEnds()),
      m_whileBoxOpenBefore(std::exchange(m_services.whileBoxOpen, [this](const Box &box) {
          if (m_whileBoxOpenBefore)
              m_whileBoxOpenBefore(box);
          if (m_boxHoldMs > 0)
              QTest::qWait(m_boxHoldMs);
      }))
{
    if (on == On::Form) {
        m_form = std::make_unique<frmMain>();
        Module1::MainForm = m_form.get();
        m_controls = m_form.get();
        m_form->show();
    } else {
        m_headless = std::make_unique<HeadlessWindow>();
        m_controls = m_headless.get();
    }
    Module1::SetWindow(m_controls);
}

EngineRun::~EngineRun()
{
    m_form.reset();
    m_headless.reset();
    m_services.whileBoxOpen = std::move(m_whileBoxOpenBefore);
}

frmMain &EngineRun::window()
{
    if (!m_form)
        qFatal("EngineRun::window() of a headless run");
    return *m_form;
}

HeadlessWindow &EngineRun::headless()
{
    if (!m_headless)
        qFatal("EngineRun::headless() of a run on the window");
    return *m_headless;
}

void EngineRun::fill(const QString &message, const QString &email, const QString &user,
                     const QString &pass, const QString &server)
{
    if (m_form) {
        m_form->txtMessage->setText(message);
        m_form->txtEmail->setText(email);
        m_form->txtUser->setText(user);
        m_form->txtPass->setText(pass);
        m_form->txtServer->setText(server);
        return;
    }
    using Field = WindowControls::Field;
    m_headless->SetFieldText(Field::Message, message);
    m_headless->SetFieldText(Field::Email, email);
    m_headless->SetFieldText(Field::User, user);
    m_headless->SetFieldText(Field::Pass, pass);
    m_headless->SetFieldText(Field::Server, server);
}

void EngineRun::clickTest()
{
    if (m_form)
        m_form->cmdTest_Click();
    else
        TestClick(*m_headless);
}

bool EngineRun::waitForRunEnd(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !runOn(); }, timeoutMs);
}

namespace {
// A note's line as a test compares it: its id and the arguments read back
// from its text by the sentence its id fills in. A text its sentence does not
// match fails the test.
QString ReadNote(Notes::Id id, const QString &text, const QString &typedPort)
{
    // Each %N of the sentence a group; a %N that comes again matches the same text.
    const QString wording = Notes::Wording(id);
    static const QRegularExpression placeholder(QStringLiteral("%(\\d)"));
    QString pattern;
    QList<int> numbers;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : placeholder.globalMatch(wording)) {
        const int number = match.captured(1).toInt();
        pattern += QRegularExpression::escape(wording.mid(from, match.capturedStart() - from));
        pattern += numbers.contains(number) ? QStringLiteral("\\k<a%1>").arg(number)
                                            : QStringLiteral("(?<a%1>.*?)").arg(number);
        if (!numbers.contains(number))
            numbers.append(number);
        from = match.capturedEnd();
    }
    pattern += QRegularExpression::escape(wording.mid(from));
    const QRegularExpressionMatch read =
        QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text);
    if (!read.hasMatch()) {
        const QString why =
            QStringLiteral("the note %1 does not read as its sentence \"%2\": \"%3\"")
                .arg(Expect::Note(id), wording, text);
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
        return Expect::Note(id) + QStringLiteral(" unreadable: ") + text;
    }
    // What changes from run to run reads the same in every run.
    const bool measured = id == Notes::Id::DialogueTook || id == Notes::Id::GreetingTook ||
                          id == Notes::Id::ReplyTook;
    std::sort(numbers.begin(), numbers.end());
    QStringList arguments;
    for (const int number : numbers) {
        const QString argument = read.captured(QStringLiteral("a%1").arg(number));
        static const QRegularExpression time(QStringLiteral("^\\d+(\\.\\d)?$"));
        if (measured && time.match(argument).hasMatch())
            arguments.append(QStringLiteral("#"));
        else
            arguments.append(argument == typedPort ? QStringLiteral("{port}") : argument);
    }
    return Expect::Note(id, arguments);
}
} // namespace

QStringList EngineRun::logLines() const
{
    const QString typedPort = QString::number(
        ParseServerAddress(m_controls->FieldText(WindowControls::Field::Server)).port);
    QStringList lines;
    const QList<RecordedLog::Line> shown =
        m_form ? ShownLines(*m_form->rtbStatus) : m_headless->Recorded().Lines();
    for (const RecordedLog::Line &line : shown) {
        if (line.text.isEmpty()) {
            lines.append(QString());
            continue;
        }
        const std::uint32_t id = line.mark & 0xFFFF;
        QString tag = QStringLiteral("?:");
        if (line.colour == Colors::Cyan && (line.mark & ~0xFFFFu) == Notes::NoteMark)
            tag = ReadNote(Notes::Id(id), line.text, typedPort);
        else if (line.colour == Colors::Cyan && (line.mark & ~0xFFFFu) == Notes::HintMark)
            tag = Expect::Hint(Hints::Cause(id));
        else if (line.colour == Colors::White)
            tag = QStringLiteral("W:") + line.text;
        else if (line.colour == Colors::Yellow)
            tag = QStringLiteral("Y:") + line.text;
        else if (line.colour == Colors::Cyan)
            tag = QStringLiteral("C:") + line.text;
        else
            tag += line.text;
        lines.append(tag);
    }
    // The log ends with a line end, which leaves an empty last line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool EngineRun::windowUnlocked() const
{
    if (m_form) {
        const std::array fields{m_form->txtMessage, m_form->txtEmail, m_form->txtUser,
                                m_form->txtPass, m_form->txtServer};
        if (!m_form->cmdTest->isEnabled())
            return false;
        for (const QLineEdit *field : fields) {
            if (!field->isEnabled() || BackColor(field) != Colors::White)
                return false;
        }
        return true;
    }
    if (!m_headless->TestEnabled())
        return false;
    for (const auto field : WindowControls::Fields) {
        if (!m_headless->FieldEnabled(field) || m_headless->FieldShownLocked(field))
            return false;
    }
    return true;
}
