#include "socket_calls.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>

#include "loopback_server.h"

namespace vistrelle::testing {

#ifdef _WIN32

void startSockets() {
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    (void)started;
}
int pollSockets(pollfd* sockets, unsigned count, int ms) {
    return WSAPoll(sockets, count, ms);
}
void closeSocket(Socket socket) {
    closesocket(socket);
}
bool wouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
void prepareSocket(Socket socket) {
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}
Socket openSocket() {
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}
Socket acceptSocket(Socket listener) {
    return ::accept(listener, nullptr, nullptr);
}
void setNoProxy() {
    _putenv_s("no_proxy", "127.0.0.1,localhost");
    _putenv_s("NO_PROXY", "127.0.0.1,localhost");
}
#else

void startSockets() {}
int pollSockets(pollfd* sockets, unsigned count, int ms) {
    return ::poll(sockets, count, ms);
}
void closeSocket(Socket socket) {
    ::close(socket);
}
bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
void prepareSocket(Socket socket) {
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
}
Socket openSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}
Socket acceptSocket(Socket listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}
void setNoProxy() {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}
#endif

Socket bindLoopback(int& port) {
    startSockets();
    Socket socket = openSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return socket;
}

int unusedLoopbackPort() {
    int port = 0;
    closeSocket(bindLoopback(port));
    return port;
}

std::string exchangeBytes(int port, std::string_view bytes, int timeoutMs) {
    startSockets();
    Socket socket = openSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    std::string answer;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(socket, bytes.data(), static_cast<int>(bytes.size()), kSendFlags) ==
            static_cast<int>(bytes.size())) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char piece[1 << 14];
        while (std::chrono::steady_clock::now() < end) {
            pollfd ready{socket, POLLIN, 0};
            if (pollSockets(&ready, 1, 50) <= 0) {
                continue;
            }
            const auto got = ::recv(socket, piece, static_cast<int>(sizeof piece), 0);
            if (got <= 0) {
                break;
            }
            answer.append(piece, static_cast<size_t>(got));
        }
    }
    closeSocket(socket);
    return answer;
}

}  // namespace vistrelle::testing
