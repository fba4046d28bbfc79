#include "support/EngineRun.h"

#include "support/Expectations.h"

#include "app/Module1.h"
#include "app/TestCommand.h"
#include "engine/Notes.h"
#include "util/Colors.h"

#include <QTest>

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

QStringList EngineRun::logLines() const
{
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
            tag = Expect::Note(Notes::Id(id));
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
