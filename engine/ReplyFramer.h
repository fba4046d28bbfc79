#pragma once

#include <QString>

// Frames SMTP replies out of the text stream of one connection. A reply ends
// with the line end (CR LF, or a bare LF) of a line whose fourth character is
// not "-"; "NNN-" lines continue the same reply. A reply may arrive in any
// number of pieces, and memory stays bounded whatever a server sends.
class ReplyFramer
{
public:
    static constexpr qsizetype MaxReplyLength = 64 * 1024;

    // Three digits: the code a reply line starts with.
    static bool IsReplyCode(QStringView code);

    void Clear();
    void Append(const QString &text);

    // A complete reply stands at the front.
    bool HasReply() const { return m_replyEnd >= 0; }
    // The reply at the front grew past MaxReplyLength.
    bool Overflowed() const;
    // Removes and returns the complete reply at the front, line ends included.
    QString TakeReply();
    // Removes and returns everything received and not yet taken.
    QString TakeAll();
    bool IsEmpty() const { return m_pending.isEmpty(); }

private:
    void FindReplyEnd();

    QString m_pending;
    qsizetype m_scanFrom = 0;  // start of the first line not yet known to continue
    qsizetype m_replyEnd = -1; // one past the line end of the first complete reply
};
