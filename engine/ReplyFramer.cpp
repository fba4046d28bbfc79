#include "engine/ReplyFramer.h"

#include <algorithm>

// Only "NNN-" continues a reply. A line of another service (an SSH banner,
// "SSH-2.0-...") is a whole reply of its own, to be shown and refused at
// once rather than waited on as the start of a longer one.
bool ReplyFramer::IsReplyCode(QStringView code)
{
    return code.size() == 3 &&
           std::all_of(code.cbegin(), code.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void ReplyFramer::Clear()
{
    m_pending.clear();
    m_scanFrom = 0;
    m_replyEnd = -1;
}

void ReplyFramer::Append(const QString &text)
{
    m_pending += text;
    FindReplyEnd();
}

bool ReplyFramer::Overflowed() const
{
    const qsizetype length = HasReply() ? m_replyEnd : m_pending.size();
    return length > MaxReplyLength;
}

QString ReplyFramer::TakeReply()
{
    if (!HasReply())
        return {};
    const QString reply = m_pending.left(m_replyEnd);
    m_pending.remove(0, m_replyEnd);
    m_scanFrom = 0;
    m_replyEnd = -1;
    FindReplyEnd();
    return reply;
}

QString ReplyFramer::TakeAll()
{
    const QString all = m_pending;
    Clear();
    return all;
}

void ReplyFramer::FindReplyEnd()
{
    // Each line is looked at once, however many pieces the reply comes in.
    while (m_replyEnd < 0) {
        const qsizetype lineEnd = m_pending.indexOf(u'\n', m_scanFrom);
        if (lineEnd < 0)
            return;
        qsizetype length = lineEnd - m_scanFrom;
        if (length > 0 && m_pending.at(lineEnd - 1) == u'\r')
            --length;
        const bool continues = length >= 4 &&
                               IsReplyCode(QStringView(m_pending).mid(m_scanFrom, 3)) &&
                               m_pending.at(m_scanFrom + 3) == u'-';
        m_scanFrom = lineEnd + 1;
        if (!continues)
            m_replyEnd = m_scanFrom;
    }
}
