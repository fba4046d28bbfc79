#pragma once

#include "engine/modQuendel_EmailClient.h"

#include <QtGlobal>

// Other reply time-outs for as long as this object lives; the engine's own
// come back when it goes, however the test ends.
class ReplyTimeouts
{
public:
    ReplyTimeouts(int replyMs, int dataReplyMs)
    {
        modQuendel_EmailClient::ReplyTimeoutMs = replyMs;
        modQuendel_EmailClient::DataReplyTimeoutMs = dataReplyMs;
    }
    explicit ReplyTimeouts(int bothMs) : ReplyTimeouts(bothMs, bothMs) {}
    ~ReplyTimeouts()
    {
        modQuendel_EmailClient::ReplyTimeoutMs = m_replyMs;
        modQuendel_EmailClient::DataReplyTimeoutMs = m_dataReplyMs;
    }
    Q_DISABLE_COPY_MOVE(ReplyTimeouts)

private:
    const int m_replyMs = modQuendel_EmailClient::ReplyTimeoutMs;
    const int m_dataReplyMs = modQuendel_EmailClient::DataReplyTimeoutMs;
};
