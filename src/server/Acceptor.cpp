#include "Acceptor.h"

#include "DottedAddress.h"
#include "WouldBlock.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>

namespace {
// How soon a listener that ran out of descriptors tries again.
constexpr std::chrono::milliseconds kAcceptRetry{250};
// Connections taken from the listener in one turn: a burst of phones is
// let in quickly without starving the open connections.
constexpr int kAcceptBurst = 64;
constexpr int kListenBacklog = 4096;
// Descriptors that connections never take: the listener, the files being
// sent and the settings file can always be opened.
constexpr int kReservedDescriptors = 16;

// Shortages that pass: the listener waits a little instead of spinning on
// the connection that waits.
bool isShortage(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}
} // namespace

Acceptor::Acceptor(EventLoop& loop)
    : m_loop(loop)
{
}

Acceptor::~Acceptor()
{
    while (!m_listeners.empty())
        close(m_listeners.begin()->first);
    for (const auto& [waiting, peer] : m_waiting)
        ::close(static_cast<int>(waiting));
}

bool Acceptor::listen(SlotNumber slot, std::uint16_t port, std::string& error)
{
    close(slot);
    Listener listener;
    listener.socket.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    // Many phones may connect at once while the loop is busy; a small
    // backlog would have the system drop the rest, and their retries wait
    // seconds. The system caps this at its own limit.
    if (!listener.socket.isOpen()
        || ::setsockopt(listener.socket.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0
        || ::bind(listener.socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener.socket.get(), kListenBacklog) != 0) {
        error = std::strerror(errno);
        return false;
    }
    listener.watch = m_loop.watch(listener.socket.get(), EPOLLIN, [this, slot](std::uint32_t) { onReady(slot); });
    m_listeners.emplace(slot, std::move(listener));
    return true;
}

void Acceptor::close(SlotNumber slot)
{
    const auto found = m_listeners.find(slot);
    if (found == m_listeners.end())
        return;
    m_loop.unwatch(found->second.watch);
    m_loop.cancel(found->second.retry);
    m_listeners.erase(found);
}

std::uint16_t Acceptor::boundPort(SlotNumber slot) const
{
    const auto found = m_listeners.find(slot);
    if (found == m_listeners.end())
        return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(found->second.socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

Acceptor::Listener* Acceptor::listenerAt(SlotNumber slot)
{
    const auto found = m_listeners.find(slot);
    return found == m_listeners.end() ? nullptr : &found->second;
}

void Acceptor::onReady(SlotNumber slot)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    // The system hands out the lowest free descriptor: one this high means
    // every one below it is taken.
    const auto lowOnDescriptors = [&limit](int fd, int margin) {
        return limit.rlim_cur != RLIM_INFINITY && static_cast<rlim_t>(fd) + margin >= limit.rlim_cur;
    };
    // Every event may close the listener: it is looked up afresh after each.
    for (int taken = 0; taken < kAcceptBurst; ++taken) {
        const Listener* listener = listenerAt(slot);
        if (!listener)
            return;
        const int socket = listener->socket.get();
        // Close to the limit, the next descriptor is looked at before a
        // connection takes it: a connection taken and then refused would
        // be lost, while one left waiting is taken once there is room.
        if (lowOnDescriptors(m_lastAccepted, 2 * kReservedDescriptors)) {
            const int next = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
            if (next >= 0)
                ::close(next);
            if ((next < 0 || lowOnDescriptors(next, kReservedDescriptors)) && !makeRoom(slot))
                return pause(slot, EMFILE);
        }
        // The peer's address comes with the connection: asking for it later costs a system call.
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int fd = ::accept4(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (wouldBlock(errno))
                return;
            if (isShortage(errno)) {
                const int error = errno;
                if (makeRoom(slot))
                    continue;
                return pause(slot, error);
            }
            // The connection gave up before it was taken, or the like.
            continue;
        }
        m_lastAccepted = fd;
        if (Listener* still = listenerAt(slot))
            still->failing = false;
        m_waiting.emplace(fd, dottedAddress(peer));
        if (m_events)
            m_events->wsServer_ConnectionRequest(slot, fd);
        // Nobody took it over: the connection is refused.
        if (m_waiting.erase(fd))
            ::close(fd);
    }
}

std::optional<std::string> Acceptor::takeOver(ConnectionRequestId requestId)
{
    const auto found = m_waiting.find(requestId);
    if (found == m_waiting.end())
        return std::nullopt;
    std::string peer = std::move(found->second);
    m_waiting.erase(found);
    return peer;
}

bool Acceptor::makeRoom(SlotNumber slot)
{
    return m_events && m_events->wsServer_DescriptorsShort(slot) > 0;
}

void Acceptor::pause(SlotNumber slot, int error)
{
    Listener* listener = listenerAt(slot);
    // Making room may have closed the listener itself.
    if (!listener)
        return;
    // Said once, however long the shortage lasts.
    if (!listener->failing && m_events) {
        listener->failing = true;
        m_events->wsServer_Error(slot, error, std::string("Cannot accept a connection: ") + std::strerror(error));
        listener = listenerAt(slot);
        if (!listener)
            return;
    }
    m_loop.modify(listener->watch, 0);
    listener->retry = m_loop.runAfter(kAcceptRetry, [this, slot] {
        Listener* listener = listenerAt(slot);
        if (!listener)
            return;
        listener->retry = 0;
        m_loop.modify(listener->watch, EPOLLIN);
    });
}
