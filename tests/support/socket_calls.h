// The few socket calls of the loopback server and its raw client, the same on Winsock and POSIX.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace vistrelle::testing {

#ifdef _WIN32
using Socket = SOCKET;
inline const Socket kNoSocket = INVALID_SOCKET;
inline constexpr int kSendFlags = 0;
#else
using Socket = int;
inline constexpr Socket kNoSocket = -1;
inline constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

void startSockets();
int pollSockets(pollfd* sockets, unsigned count, int ms);
void closeSocket(Socket socket);
// After a failed call: true when it only would have blocked (or was interrupted).
bool wouldBlock();
// Non-blocking, and not inherited by the programs a test starts.
void prepareSocket(Socket socket);
Socket openSocket();
Socket acceptSocket(Socket listener);
// Clients started by the tests reach loopback servers directly, whatever proxy is set.
void setNoProxy();
// A socket bound to a free loopback port; its port.
Socket bindLoopback(int& port);

}  // namespace vistrelle::testing
