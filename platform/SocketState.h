#pragma once

#include <cstdint>

// The states a socket element reports, with the values the engine compares.
enum class SocketState : std::int16_t {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8, // the peer has closed the connection
    Error = 9,
};
