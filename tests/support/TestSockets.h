#pragma once

// The few socket calls the tests' own clients make, the same on POSIX
// systems and on Windows (Winsock, started once for the test program).

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

using TestSocket = SOCKET;
inline constexpr TestSocket kNoTestSocket = INVALID_SOCKET;
inline constexpr int kShutSending = SD_SEND;
inline constexpr int kNoBrokenPipeSignal = 0;

inline void startTestSockets()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
inline void closeTestSocket(TestSocket socket) { ::closesocket(socket); }
inline void makeNonBlocking(TestSocket socket)
{
    u_long on = 1;
    ::ioctlsocket(socket, FIONBIO, &on);
}
inline bool lastCallWouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
inline bool connectInProgress() { return WSAGetLastError() == WSAEWOULDBLOCK; }
inline int pollTestSocket(TestSocket socket, short events, int timeoutMs)
{
    WSAPOLLFD watched{socket, events, 0};
    return ::WSAPoll(&watched, 1, timeoutMs);
}
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using TestSocket = int;
inline constexpr TestSocket kNoTestSocket = -1;
inline constexpr int kShutSending = SHUT_WR;
inline constexpr int kNoBrokenPipeSignal = MSG_NOSIGNAL;

inline void startTestSockets() {}
inline void closeTestSocket(TestSocket socket) { ::close(socket); }
inline void makeNonBlocking(TestSocket socket) { ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK); }
inline bool lastCallWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
inline bool connectInProgress() { return errno == EINPROGRESS; }
inline int pollTestSocket(TestSocket socket, short events, int timeoutMs)
{
    pollfd watched{socket, events, 0};
    return ::poll(&watched, 1, timeoutMs);
}
#endif
