#include "engine/modQuendel_EmailClient.h"

namespace modQuendel_EmailClient {

bool StepDone = false;
std::int16_t SentCount = 0;
std::int16_t ErrorCount = 0;
std::array<bool, MaxSlots + 1> SlotPending{};
std::int16_t CurrentSlot = 0;
std::int32_t SmtpStep = 0;

ReplyFramer Reply;
bool EhloSent = false;
QString GreetingReply;
bool ImplicitTls = false;
bool Handshaking = false;
std::array<bool, MaxSlots + 1> SlotEnded{};

int ReplyTimeoutMs = 5 * 60 * 1000;
int DataReplyTimeoutMs = 10 * 60 * 1000;

} // namespace modQuendel_EmailClient
