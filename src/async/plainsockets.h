// The plain (blocking) socket functions: creating, configuring, binding and naming sockets.
#pragma once

#include "async/sockethandle.h"

#include <cstdint>
#include <string>

struct addrinfo;
struct sockaddr;

namespace quorvin {

// Starts the socket library and fetches the accept extension functions (Windows); safe to call
// again. Failures raise OSError.
void startupSockets();

// The socket, or osInvalidSocket; raises nothing.
SocketHandle createOsSocket(int family, int type, int protocol);
// The result is ignored.
void closeOsSocket(SocketHandle handle);
// OSError when the mode cannot be set.
void setBlocking(SocketHandle handle, bool blocking);
// OSError on a negative result.
void setSockOptInt(SocketHandle handle, int level, int option, int value);
// OSError when the lookup fails; release the list with freeAddrInfo.
addrinfo* getAddrInfo(const std::string& address, std::uint16_t port, int family, int type,
                      int protocol);
void freeAddrInfo(addrinfo* list);
// The socket address of a list's first entry and its length, for bindSocket.
const sockaddr* firstAddress(const addrinfo* list);
std::int32_t firstAddressLength(const addrinfo* list);
// bind() and listen(), their results unchanged.
int bindSocket(SocketHandle handle, const sockaddr* address, std::int32_t length);
int listenSocket(SocketHandle handle, int backlog);
// The numeric text of an IPv4 or IPv6 address; IOError "Unknown socket family in getAddrString"
// for other families.
std::string getAddrString(const sockaddr* address);

// connect() on a blocking socket, its result unchanged (for tools and tests: the server never
// connects).
int connectSocket(SocketHandle handle, const sockaddr* address, std::int32_t length);
// The local port a socket is bound to; OSError on failure.
std::uint16_t localPort(SocketHandle handle);

} // namespace quorvin
