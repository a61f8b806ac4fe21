// What the Windows socket files share: the SOCKET of a handle and the extension functions that
// startupSockets fetches.
#pragma once

#include "async/sockethandle.h"

#include <winsock2.h>

#include <mswsock.h>

namespace quorvin::detail {

inline SOCKET asSocket(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

// Fetched once at start-up, read-only afterwards.
extern LPFN_ACCEPTEX acceptEx;
extern LPFN_GETACCEPTEXSOCKADDRS getAcceptExSockaddrs;

} // namespace quorvin::detail
