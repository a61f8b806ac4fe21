// The platform's values of the socket constants that portable code needs.
#pragma once

namespace quorvin {

extern const int osAfInet;
extern const int osAfInet6;
extern const int osSockStream;
extern const int osIpprotoTcp;
extern const int osSolSocket;
extern const int osSoAcceptConn;
extern const int osSoBroadcast;
extern const int osSoDebug;
extern const int osSoDontRoute;
extern const int osSoKeepAlive;
extern const int osSoOobInline;
extern const int osSoReuseAddr;
extern const int osTcpNoDelay;
extern const int osSomaxconn;
// The reuse-address option of a listening socket: one that never lets a second socket take over a
// port in use (SO_EXCLUSIVEADDRUSE on Windows, SO_REUSEADDR on POSIX).
extern const int osSoListenerReuseAddr;
// What a socket that acceptAddr gives already has: non-blocking mode, and the listener's
// TCP_NODELAY. Where it has them, setting them again would only cost a system call per connection.
extern const bool osAcceptedSocketsAreNonBlocking;
extern const bool osAcceptedSocketsInheritNoDelay;

} // namespace quorvin
