// What a failed accept says, and so what the listener does next.
#pragma once

#include <cstdint>

namespace quorvin {

enum class AcceptFailure : std::uint8_t {
    // One connection failed before it was handed over: accept the next one at once.
    OneConnection,
    // The process or system is short of descriptors or memory for now, or the error is one nobody
    // foresaw: accept again after a pause, so that a lasting error cannot make the listener spin.
    Shortage,
    // The listening socket itself is gone or unusable: no later accept can succeed.
    ListenerGone,
};

// The platform's error code of a failed acceptAddr, classified.
AcceptFailure classifyAcceptError(int code);

} // namespace quorvin
