#pragma once

// The time a server has for its next reply. When it runs out, the engine's
// OnReplyTimeout ends the slot.
void StartReplyDeadline(int milliseconds);
void StopReplyDeadline();
// The length of the deadline last started.
int ReplyDeadlineMs();
