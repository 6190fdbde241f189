#include "SocketCalls.h"

#include "DottedAddress.h"
#include "PollCalls.h"
#include "Readiness.h"

#include <algorithm>
#include <array>
#include <climits>
#include <stdexcept>
#include <type_traits>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

static_assert(std::is_same_v<NativeSocket, SOCKET>);
static_assert(kNoSocket == INVALID_SOCKET);

namespace {
// Winsock counts bytes in an int.
int clamped(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

std::int64_t failed()
{
    return WSAGetLastError() == WSAEWOULDBLOCK ? kBlocked : kBroken;
}

bool makeNonBlocking(SOCKET socket)
{
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

// Winsock is started once for the process and stopped as it ends.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession()
    {
        if (m_started)
            ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    [[nodiscard]] bool started() const { return m_started; }

private:
    bool m_started = false;
};
} // namespace

void closeSocket(NativeSocket socket)
{
    ::closesocket(socket);
}

void useSockets()
{
    static const WinsockSession session;
    if (!session.started())
        throw std::runtime_error("Windows sockets cannot start");
}

void shieldThreadFromBrokenPipes()
{
    // Windows raises no signal for a write to a reset connection: it fails.
}

std::int64_t receiveSome(NativeSocket socket, char* into, std::size_t size)
{
    const int count = ::recv(socket, into, clamped(size), 0);
    return count == SOCKET_ERROR ? failed() : count;
}

std::int64_t sendSome(NativeSocket socket, const char* data, std::size_t size, bool)
{
    // No flag holds bytes back for what follows: the system's own delay of
    // small segments does it, until a connection is told to send at once.
    const int count = ::send(socket, data, clamped(size), 0);
    return count == SOCKET_ERROR ? failed() : count;
}

std::int64_t sendTogether(NativeSocket socket, std::string_view head, std::string_view body)
{
    std::array<WSABUF, 2> parts{{{static_cast<ULONG>(head.size()), const_cast<char*>(head.data())},
                                 {static_cast<ULONG>(body.size()), const_cast<char*>(body.data())}}};
    DWORD sent = 0;
    if (::WSASend(socket, parts.data(), static_cast<DWORD>(parts.size()), &sent, 0, nullptr, nullptr) == SOCKET_ERROR)
        return failed();
    return sent;
}

void shutdownSending(NativeSocket socket)
{
    ::shutdown(socket, SD_SEND);
}

void sendAtOnce(NativeSocket socket)
{
    const BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

NativeSocket openListener(std::uint16_t port, int backlog, std::string& error)
{
    OwnedSocket listener(::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    // Windows lets a second socket bind a port that one with SO_REUSEADDR
    // listens on, and hands it the connections: exclusive use refuses any
    // other listener on the port, as POSIX systems do.
    const BOOL exclusive = TRUE;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (!listener.isOpen()
        || ::setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                        sizeof exclusive) != 0
        || ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener.get(), backlog) != 0 || !makeNonBlocking(listener.get())) {
        error = socketErrorText(WSAGetLastError());
        return kNoSocket;
    }
    return listener.release();
}

std::uint16_t boundPort(NativeSocket listener)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

NativeSocket acceptConnection(NativeSocket listener, std::string& peer, int& error)
{
    sockaddr_in address{};
    int length = sizeof address;
    OwnedSocket accepted(::accept(listener, reinterpret_cast<sockaddr*>(&address), &length));
    if (!accepted.isOpen() || !makeNonBlocking(accepted.get())) {
        error = WSAGetLastError();
        return kNoSocket;
    }
    peer = dottedAddress(address);
    return accepted.release();
}

std::string localAddress(NativeSocket socket)
{
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    return dottedAddress(local) + ":" + std::to_string(ntohs(local.sin_port));
}

int lastSocketError()
{
    return WSAGetLastError();
}

bool wouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}

bool isShortage(int error)
{
    // Out of sockets shows as either, out of memory for them as the second.
    return error == WSAEMFILE || error == WSAENOBUFS;
}

int socketShortageError()
{
    return WSAEMFILE;
}

std::string socketErrorText(int error)
{
    char* text = nullptr;
    const DWORD size = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0,
                                        nullptr);
    std::string message = size > 0 ? std::string(text, size) : "Windows sockets error " + std::to_string(error);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

SocketHeadroom::SocketHeadroom() = default;

bool SocketHeadroom::runsShort(NativeSocket, NativeSocket) const
{
    return false;
}

int pollSockets(pollfd* entries, std::size_t count, int timeoutMs)
{
    return ::WSAPoll(entries, static_cast<ULONG>(count), timeoutMs);
}

short pollInterest(std::uint32_t interest)
{
    // WSAPoll refuses any other bits in what is asked for.
    return static_cast<short>(((interest & Ready::Readable) ? POLLRDNORM : 0) |
                              ((interest & Ready::Writable) ? POLLWRNORM : 0));
}

std::uint32_t pollReadiness(short revents)
{
    std::uint32_t ready = 0;
    // A peer that shut only its sending side shows as a hang-up here, where
    // POSIX systems make the socket readable: the receive that follows tells
    // a close from a reset, and answers still go out after a close.
    if (revents & (POLLRDNORM | POLLRDBAND | POLLHUP))
        ready |= Ready::Readable;
    if (revents & POLLWRNORM)
        ready |= Ready::Writable;
    if (revents & (POLLERR | POLLNVAL))
        ready |= Ready::Error;
    return ready;
}

NativeSocket polledSocket(NativeSocket socket, std::uint32_t interest)
{
    // WSAPoll reports a hang-up whatever is asked for: a socket watched for
    // nothing would end every wait at once. It is left out of the wait
    // until it is watched for something again.
    return interest == 0 ? INVALID_SOCKET : socket;
}
