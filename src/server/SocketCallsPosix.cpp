#include "SocketCalls.h"

#include "DottedAddress.h"
#include "PollCalls.h"
#include "Readiness.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
// Descriptors that connections never take.
constexpr int kReservedDescriptors = 16;

std::int64_t transferred(ssize_t count)
{
    if (count >= 0)
        return count;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kBlocked : kBroken;
}
} // namespace

void closeSocket(NativeSocket socket)
{
    ::close(socket);
}

void useSockets()
{
}

void shieldThreadFromBrokenPipes()
{
    // A write to a connection the peer has reset raises SIGPIPE in the
    // writing thread, and sendfile has no flag to prevent it: blocked here,
    // it leaves the write failing with EPIPE instead of ending the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

std::int64_t receiveSome(NativeSocket socket, char* into, std::size_t size)
{
    ssize_t count = 0;
    do
        count = ::recv(socket, into, size, 0);
    while (count < 0 && errno == EINTR);
    return transferred(count);
}

std::int64_t sendSome(NativeSocket socket, const char* data, std::size_t size, bool moreFollows)
{
    ssize_t count = 0;
    do
        count = ::send(socket, data, size, MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0));
    while (count < 0 && errno == EINTR);
    return transferred(count);
}

std::int64_t sendTogether(NativeSocket socket, std::string_view head, std::string_view body)
{
    std::array<iovec, 2> parts{{{const_cast<char*>(head.data()), head.size()},
                                {const_cast<char*>(body.data()), body.size()}}};
    msghdr message{};
    message.msg_iov = parts.data();
    message.msg_iovlen = parts.size();
    ssize_t count = 0;
    do
        count = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    while (count < 0 && errno == EINTR);
    return transferred(count);
}

void shutdownSending(NativeSocket socket)
{
    ::shutdown(socket, SHUT_WR);
}

void sendAtOnce(NativeSocket socket)
{
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

NativeSocket openListener(std::uint16_t port, int backlog, std::string& error)
{
    OwnedSocket listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    // Taken over at once from a listener that closed a moment ago, whose
    // connections may still be winding down; two live listeners on one
    // port are refused all the same.
    const int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (!listener.isOpen()
        || ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0
        || ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener.get(), backlog) != 0) {
        error = std::strerror(errno);
        return kNoSocket;
    }
    return listener.release();
}

std::uint16_t boundPort(NativeSocket listener)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

NativeSocket acceptConnection(NativeSocket listener, std::string& peer, int& error)
{
    // The peer's address comes with the connection: asking for it later costs a system call.
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return kNoSocket;
    }
    peer = dottedAddress(address);
    return fd;
}

std::string localAddress(NativeSocket socket)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    return dottedAddress(local) + ":" + std::to_string(ntohs(local.sin_port));
}

int lastSocketError()
{
    return errno;
}

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool isShortage(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

int socketShortageError()
{
    return EMFILE;
}

std::string socketErrorText(int error)
{
    return std::strerror(error);
}

SocketHeadroom::SocketHeadroom()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur != RLIM_INFINITY)
        m_limit = limit.rlim_cur;
}

bool SocketHeadroom::runsShort(NativeSocket lastAccepted, NativeSocket listener) const
{
    // The system hands out the lowest free descriptor: one this high means
    // every one below it is taken.
    const auto low = [this](int fd, int margin) {
        return m_limit != 0 && static_cast<std::uint64_t>(fd) + margin >= m_limit;
    };
    if (!low(lastAccepted, 2 * kReservedDescriptors))
        return false;
    // Close to the limit, the next descriptor is looked at before a
    // connection takes it: a connection taken and then refused would be
    // lost, while one left waiting is taken once there is room.
    const int next = ::fcntl(listener, F_DUPFD_CLOEXEC, 0);
    if (next >= 0)
        ::close(next);
    return next < 0 || low(next, kReservedDescriptors);
}

int pollSockets(pollfd* entries, std::size_t count, int timeoutMs)
{
    const int ready = ::poll(entries, static_cast<nfds_t>(count), timeoutMs);
    return ready < 0 && errno == EINTR ? 0 : ready;
}

short pollInterest(std::uint32_t interest)
{
    return static_cast<short>(((interest & Ready::Readable) ? POLLIN : 0) | ((interest & Ready::Writable) ? POLLOUT : 0));
}

std::uint32_t pollReadiness(short revents)
{
    return ((revents & POLLIN) ? Ready::Readable : 0u) | ((revents & POLLOUT) ? Ready::Writable : 0u) |
        ((revents & (POLLERR | POLLNVAL)) ? Ready::Error : 0u) | ((revents & POLLHUP) ? Ready::HangUp : 0u);
}

NativeSocket polledSocket(NativeSocket socket, std::uint32_t)
{
    // Errors and hang-ups of a socket watched for nothing are still reported, as with epoll.
    return socket;
}
