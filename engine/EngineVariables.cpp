#include "engine/RunState.h"

namespace modQuendel_EmailClient {

int ReplyTimeoutMs = 5 * 60 * 1000;
int DataReplyTimeoutMs = 10 * 60 * 1000;

// After the settings, which its timeouts are taken from.
RunState Run;

void StartSlot(std::int16_t Index)
{
    Run.Slot = SlotState{};
    SlotEnded.at(std::size_t(Index)) = false;
}

} // namespace modQuendel_EmailClient
