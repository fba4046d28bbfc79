#include "engine/modQuendel_EmailClient.h"

namespace modQuendel_EmailClient {

RunState Run;

int ReplyTimeoutMs = 5 * 60 * 1000;
int DataReplyTimeoutMs = 10 * 60 * 1000;

} // namespace modQuendel_EmailClient
