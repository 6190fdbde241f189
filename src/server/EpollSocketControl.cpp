#include "EpollSocketControl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>

namespace {
// How long a connection closed from this end may take to hand over what is
// still queued for it, and for the peer to close its end, before it is cut.
constexpr std::chrono::milliseconds kLinger{30'000};
// How soon a listener that ran out of descriptors tries again.
constexpr std::chrono::milliseconds kAcceptRetry{250};
// How much one connection sends in one turn: large writes to the system,
// while every other connection still gets its turn soon.
constexpr std::size_t kSendSliceBytes = 128 * 1024;
// Data left untaken stays in the system, not in this process: past this
// much the element stops reading, and the peer has to wait.
constexpr std::size_t kMaxInputBytes = 64 * 1024;
// Connections taken from the listener in one turn: a burst of phones is
// let in quickly without starving the open connections.
constexpr int kAcceptBurst = 64;
constexpr int kListenBacklog = 4096;
// Descriptors that connections never take: the listener, the files being
// sent and the settings file can always be opened.
constexpr int kReservedDescriptors = 16;

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Shortages that pass: the listener waits a little instead of spinning on
// the connection that waits.
bool isShortage(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}
} // namespace

EpollSocketControl::EpollSocketControl(EventLoop& loop)
    : m_loop(loop)
{
    m_elements[0];
    m_endOfTurn = m_loop.addEndOfTurn([this] {
        std::vector<SlotNumber> slots;
        slots.swap(m_toFlush);
        for (const SlotNumber slot : slots) {
            Element* found = element(slot);
            if (!found || !found->connection)
                continue;
            found->connection->flushQueued = false;
            flush(slot);
        }
        return !m_toFlush.empty();
    });
}

EpollSocketControl::~EpollSocketControl()
{
    m_loop.removeEndOfTurn(m_endOfTurn);
    for (auto& [slot, found] : m_elements) {
        closeListener(found);
        if (found.connection)
            m_loop.unwatch(found.connection->watch);
    }
    for (auto& [id, lingering] : m_lingering) {
        m_loop.unwatch(lingering->connection.watch);
        m_loop.cancel(lingering->deadline);
    }
    for (const ConnectionRequestId waiting : m_waiting)
        ::close(static_cast<int>(waiting));
}

void EpollSocketControl::Load(SlotNumber slot)
{
    m_elements.try_emplace(slot);
}

void EpollSocketControl::Unload(SlotNumber slot)
{
    Element* unloaded = element(slot);
    if (!unloaded || slot == 0)
        return;
    closeListener(*unloaded);
    closeConnection(*unloaded);
    m_elements.erase(slot);
}

SocketState EpollSocketControl::State(SlotNumber slot) const
{
    const Element* found = element(slot);
    if (!found)
        return SocketState::Closed;
    if (found->listener)
        return SocketState::Listening;
    return found->connection ? SocketState::Connected : SocketState::Closed;
}

void EpollSocketControl::Close(SlotNumber slot)
{
    if (Element* closed = element(slot)) {
        closeListener(*closed);
        closeConnection(*closed);
    }
}

void EpollSocketControl::Drop(SlotNumber slot)
{
    Element* dropped = element(slot);
    if (!dropped || !dropped->connection)
        return;
    m_loop.unwatch(dropped->connection->watch);
    dropped->connection.reset();
}

void EpollSocketControl::LocalPort(SlotNumber slot, std::int32_t port)
{
    if (Element* found = element(slot))
        found->localPort = port;
}

bool EpollSocketControl::Listen(SlotNumber slot, std::string& error)
{
    Element* found = element(slot);
    if (!found) {
        error = "No such socket element.";
        return false;
    }
    if (found->localPort < 0 || found->localPort > 65535) {
        error = "Port " + std::to_string(found->localPort) + " is outside 0 to 65535.";
        return false;
    }
    closeListener(*found);
    auto listener = std::make_unique<Listener>();
    listener->socket.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(found->localPort));
    // Many phones may connect at once while the loop is busy; a small
    // backlog would have the system drop the rest, and their retries wait
    // seconds. The system caps this at its own limit.
    if (!listener->socket.isOpen()
        || ::setsockopt(listener->socket.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0
        || ::bind(listener->socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener->socket.get(), kListenBacklog) != 0) {
        error = std::strerror(errno);
        return false;
    }
    listener->watch = m_loop.watch(listener->socket.get(), EPOLLIN, [this, slot](std::uint32_t) { onListenerReady(slot); });
    found->listener = std::move(listener);
    return true;
}

void EpollSocketControl::Accept(SlotNumber slot, ConnectionRequestId requestId)
{
    Element* found = element(slot);
    if (!found || !m_waiting.erase(requestId))
        return;
    closeConnection(*found);
    auto connection = std::make_unique<Connection>();
    connection->socket.reset(static_cast<int>(requestId));
    const int on = 1;
    ::setsockopt(connection->socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    std::array<char, INET_ADDRSTRLEN> dotted{};
    found->remoteHostIP.clear();
    if (::getpeername(connection->socket.get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0
        && ::inet_ntop(AF_INET, &peer.sin_addr, dotted.data(), dotted.size()))
        found->remoteHostIP = dotted.data();
    length = sizeof peer;
    found->localAddress.clear();
    if (::getsockname(connection->socket.get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0
        && ::inet_ntop(AF_INET, &peer.sin_addr, dotted.data(), dotted.size()))
        found->localAddress = std::string(dotted.data()) + ":" + std::to_string(ntohs(peer.sin_port));
    connection->interest = EPOLLIN;
    connection->watch = m_loop.watch(connection->socket.get(), EPOLLIN,
                                     [this, slot](std::uint32_t events) { onConnectionReady(slot, events); });
    found->connection = std::move(connection);
}

std::string EpollSocketControl::GetData(SlotNumber slot)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return {};
    std::string data = std::exchange(found->connection->input, {});
    // A full element stopped reading; now it may read again.
    updateInterest(*found->connection);
    return data;
}

void EpollSocketControl::SendData(SlotNumber slot, std::string data)
{
    if (data.empty())
        return;
    SendFile(slot, std::move(data), FileBody{});
}

void EpollSocketControl::SendFile(SlotNumber slot, std::string head, FileBody body)
{
    Element* found = element(slot);
    // A connection that is gone by the time of sending takes nothing.
    if (!found || !found->connection)
        return;
    Connection& connection = *found->connection;
    Outgoing outgoing;
    outgoing.text = std::move(head);
    outgoing.body = std::move(body);
    connection.unsent += outgoing.unsent();
    connection.output.push_back(std::move(outgoing));
    if (!connection.flushQueued) {
        connection.flushQueued = true;
        m_toFlush.push_back(slot);
    }
}

std::int64_t EpollSocketControl::unsentBytes(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found && found->connection ? found->connection->unsent : 0;
}

std::size_t EpollSocketControl::unsentAnswers(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found && found->connection ? found->connection->output.size() : 0;
}

std::string EpollSocketControl::RemoteHostIP(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found ? found->remoteHostIP : std::string();
}

std::string EpollSocketControl::localAddress(SlotNumber slot) const
{
    const Element* found = element(slot);
    return found ? found->localAddress : std::string();
}

std::uint16_t EpollSocketControl::boundPort(SlotNumber slot) const
{
    const Element* found = element(slot);
    if (!found || !found->listener)
        return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(found->listener->socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

EpollSocketControl::Element* EpollSocketControl::element(SlotNumber slot)
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

const EpollSocketControl::Element* EpollSocketControl::element(SlotNumber slot) const
{
    const auto found = m_elements.find(slot);
    return found == m_elements.end() ? nullptr : &found->second;
}

void EpollSocketControl::onListenerReady(SlotNumber slot)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    // The system hands out the lowest free descriptor: one this high means
    // every one below it is taken.
    const auto lowOnDescriptors = [&limit](int fd, int margin) {
        return limit.rlim_cur != RLIM_INFINITY && static_cast<rlim_t>(fd) + margin >= limit.rlim_cur;
    };
    for (int taken = 0; taken < kAcceptBurst; ++taken) {
        Element* found = element(slot);
        if (!found || !found->listener)
            return;
        const int listener = found->listener->socket.get();
        // Close to the limit, the next descriptor is looked at before a
        // connection takes it: a connection taken and then refused would
        // be lost, while one left waiting is taken once there is room.
        if (lowOnDescriptors(m_lastAccepted, 2 * kReservedDescriptors)) {
            const int next = ::fcntl(listener, F_DUPFD_CLOEXEC, 0);
            if (next >= 0)
                ::close(next);
            if ((next < 0 || lowOnDescriptors(next, kReservedDescriptors)) && !makeRoom(slot))
                return pauseAccepting(slot, EMFILE);
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (wouldBlock(errno))
                return;
            if (isShortage(errno)) {
                const int error = errno;
                if (makeRoom(slot))
                    continue;
                return pauseAccepting(slot, error);
            }
            // The connection gave up before it was taken, or the like.
            continue;
        }
        m_lastAccepted = fd;
        found = element(slot);
        if (found && found->listener)
            found->listener->failing = false;
        m_waiting.insert(fd);
        if (m_events)
            m_events->wsServer_ConnectionRequest(slot, fd);
        // Nobody took it over: the connection is refused.
        if (m_waiting.erase(fd))
            ::close(fd);
    }
}

bool EpollSocketControl::makeRoom(SlotNumber slot)
{
    return m_events && m_events->wsServer_DescriptorsShort(slot) > 0;
}

void EpollSocketControl::pauseAccepting(SlotNumber slot, int error)
{
    Element* found = element(slot);
    // Said once, however long the shortage lasts.
    if (!found->listener->failing && m_events) {
        found->listener->failing = true;
        m_events->wsServer_Error(slot, error, std::string("Cannot accept a connection: ") + std::strerror(error));
        found = element(slot);
        if (!found || !found->listener)
            return;
    }
    Listener& listener = *found->listener;
    m_loop.modify(listener.watch, 0);
    listener.retry = m_loop.runAfter(kAcceptRetry, [this, slot] {
        Element* found = element(slot);
        if (!found || !found->listener)
            return;
        found->listener->retry = 0;
        m_loop.modify(found->listener->watch, EPOLLIN);
    });
}

void EpollSocketControl::onConnectionReady(SlotNumber slot, std::uint32_t events)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return;
    // A reset, or both directions down: nothing more can be sent.
    if (events & (EPOLLERR | EPOLLHUP))
        return lose(slot);
    if (events & EPOLLOUT) {
        flush(slot);
        found = element(slot);
        if (!found || !found->connection)
            return;
    }
    if ((events & EPOLLIN) && !readSome(slot, *found->connection))
        return lose(slot);
    settle(slot);
}

bool EpollSocketControl::readSome(SlotNumber slot, Connection& connection)
{
    const std::size_t room = kMaxInputBytes - std::min(kMaxInputBytes, connection.input.size());
    if (room == 0 || connection.peerShut)
        return true;
    const ssize_t count = ::recv(connection.socket.get(), m_readBuffer.data(), std::min(room, m_readBuffer.size()), 0);
    if (count < 0)
        return errno == EINTR || wouldBlock(errno);
    if (count == 0) {
        connection.peerShut = true;
        return true;
    }
    connection.input.append(m_readBuffer.data(), static_cast<std::size_t>(count));
    if (m_events)
        m_events->wsServer_DataArrival(slot, static_cast<std::int64_t>(connection.input.size()));
    return true;
}

EpollSocketControl::WriteResult EpollSocketControl::writeSome(Connection& connection, std::size_t budget,
                                                              std::int64_t& written)
{
    const int socket = connection.socket.get();
    while (!connection.output.empty() && budget > 0) {
        Outgoing& front = connection.output.front();
        ssize_t count = 0;
        const auto bodySize = static_cast<std::size_t>(front.body.size);
        if (front.textSent == 0 && front.bodySent == 0 && bodySize > 0 && bodySize <= m_smallBody.size()
            && front.text.size() + bodySize <= budget) {
            const ssize_t read = ::pread(front.body.file.get(), m_smallBody.data(), bodySize, front.body.offset);
            if (read < 0)
                return WriteResult::Broken;
            if (static_cast<std::size_t>(read) < bodySize)
                return WriteResult::FileShrank;
            count = sendTogether(socket, front.text, std::string_view(m_smallBody.data(), bodySize));
            if (count > 0) {
                const auto head = std::min(static_cast<std::size_t>(count), front.text.size());
                front.textSent = head;
                front.bodySent = count - static_cast<ssize_t>(head);
            }
        } else if (front.textSent < front.text.size()) {
            const std::size_t size = std::min(budget, front.text.size() - front.textSent);
            // A head with a file behind it waits for the file's first bytes,
            // so that a small answer leaves in one packet.
            const int more = front.bodySent < front.body.size ? MSG_MORE : 0;
            count = ::send(socket, front.text.data() + front.textSent, size, MSG_NOSIGNAL | more);
            if (count > 0)
                front.textSent += static_cast<std::size_t>(count);
        } else if (front.bodySent < front.body.size) {
            const auto size = std::min<std::int64_t>(static_cast<std::int64_t>(budget), front.body.size - front.bodySent);
            off_t offset = front.body.offset + front.bodySent;
            count = ::sendfile(socket, front.body.file.get(), &offset, static_cast<std::size_t>(size));
            if (count == 0)
                return WriteResult::FileShrank;
            if (count > 0)
                front.bodySent += count;
        } else {
            connection.output.pop_front();
            continue;
        }
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return wouldBlock(errno) ? WriteResult::Blocked : WriteResult::Broken;
        }
        budget -= static_cast<std::size_t>(count);
        written += count;
        connection.unsent -= count;
    }
    // A finished answer lets go of its file at once.
    while (!connection.output.empty() && connection.output.front().unsent() == 0)
        connection.output.pop_front();
    return connection.output.empty() ? WriteResult::Done : WriteResult::Blocked;
}

ssize_t EpollSocketControl::sendTogether(int socket, std::string_view head, std::string_view body)
{
    std::array<iovec, 2> parts{{{const_cast<char*>(head.data()), head.size()},
                                {const_cast<char*>(body.data()), body.size()}}};
    msghdr message{};
    message.msg_iov = parts.data();
    message.msg_iovlen = parts.size();
    return ::sendmsg(socket, &message, MSG_NOSIGNAL);
}

void EpollSocketControl::flush(SlotNumber slot)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return;
    Connection& connection = *found->connection;
    std::int64_t written = 0;
    const WriteResult result = writeSome(connection, kSendSliceBytes, written);
    if (result == WriteResult::Broken || result == WriteResult::FileShrank)
        return lose(slot, result == WriteResult::FileShrank);
    if (written > 0 && m_events)
        m_events->wsServer_SendProgress(slot, written, connection.unsent);
    settle(slot);
}

void EpollSocketControl::settle(SlotNumber slot)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return;
    Connection& connection = *found->connection;
    if (connection.peerShut && connection.output.empty() && connection.input.empty()) {
        m_loop.unwatch(connection.watch);
        found->connection.reset();
        if (m_events)
            m_events->wsServer_Close(slot);
        return;
    }
    updateInterest(connection);
}

void EpollSocketControl::updateInterest(Connection& connection)
{
    std::uint32_t wanted = 0;
    if (!connection.peerShut && connection.input.size() < kMaxInputBytes)
        wanted |= EPOLLIN;
    // What waits for the end of the turn needs no readiness event.
    if (!connection.output.empty() && !connection.flushQueued)
        wanted |= EPOLLOUT;
    if (wanted == connection.interest)
        return;
    connection.interest = wanted;
    m_loop.modify(connection.watch, wanted);
}

void EpollSocketControl::lose(SlotNumber slot, bool fileShrank)
{
    Element* found = element(slot);
    if (!found || !found->connection)
        return;
    std::unique_ptr<Connection> lost = std::move(found->connection);
    m_loop.unwatch(lost->watch);
    Outgoing* cut = lost->output.empty() ? nullptr : &lost->output.front();
    const bool fileCut = cut && cut->body.file.isOpen() && cut->bodySent < cut->body.size;
    const std::string path = fileCut ? cut->body.path : std::string();
    const std::int64_t sent = fileCut ? cut->bodySent : 0;
    const std::int64_t size = fileCut ? cut->body.size : 0;
    lost.reset();
    if (fileCut && m_events)
        m_events->wsServer_FileCutShort(slot, path, sent, size, fileShrank);
    if (m_events && element(slot))
        m_events->wsServer_Close(slot);
}

void EpollSocketControl::closeListener(Element& element)
{
    if (!element.listener)
        return;
    m_loop.unwatch(element.listener->watch);
    m_loop.cancel(element.listener->retry);
    element.listener.reset();
}

void EpollSocketControl::closeConnection(Element& element)
{
    if (!element.connection)
        return;
    std::unique_ptr<Connection> closed = std::move(element.connection);
    m_loop.unwatch(closed->watch);
    const std::uint64_t id = m_nextLingering++;
    auto lingering = std::make_unique<Lingering>();
    lingering->connection = std::move(*closed);
    Connection& connection = lingering->connection;
    connection.input.clear();
    connection.flushQueued = false;
    // A lingering close: what is queued still goes out, then only the
    // sending half is shut. Closing at once while the peer is still sending
    // would make the system reset the connection, and the peer could lose
    // the answer it was sent; so what arrives meanwhile is read and dropped
    // until the peer closes too, or the time is up.
    connection.interest = EPOLLIN | (connection.output.empty() ? 0u : EPOLLOUT);
    connection.watch = m_loop.watch(connection.socket.get(), connection.interest,
                                    [this, id](std::uint32_t events) {
                                        (void)events;
                                        onLingeringReady(id);
                                    });
    lingering->deadline = m_loop.runAfter(kLinger, [this, id] { endLingering(id); });
    m_lingering.emplace(id, std::move(lingering));
    onLingeringReady(id);
}

void EpollSocketControl::onLingeringReady(std::uint64_t id)
{
    const auto found = m_lingering.find(id);
    if (found == m_lingering.end())
        return;
    Lingering& lingering = *found->second;
    Connection& connection = lingering.connection;
    if (!connection.output.empty()) {
        std::int64_t written = 0;
        const WriteResult result = writeSome(connection, kSendSliceBytes, written);
        if (result == WriteResult::Broken || result == WriteResult::FileShrank)
            return endLingering(id);
    }
    if (connection.output.empty() && !lingering.sendingShut) {
        ::shutdown(connection.socket.get(), SHUT_WR);
        lingering.sendingShut = true;
    }
    while (!connection.peerShut) {
        const ssize_t count = ::recv(connection.socket.get(), m_readBuffer.data(), m_readBuffer.size(), 0);
        if (count == 0)
            connection.peerShut = true;
        else if (count < 0 && errno == EINTR)
            continue;
        else if (count < 0 && wouldBlock(errno))
            break;
        else if (count < 0)
            return endLingering(id);
    }
    if (connection.peerShut && lingering.sendingShut)
        return endLingering(id);
    const std::uint32_t wanted = (connection.peerShut ? 0u : EPOLLIN) | (connection.output.empty() ? 0u : EPOLLOUT);
    if (wanted != connection.interest) {
        connection.interest = wanted;
        m_loop.modify(connection.watch, wanted);
    }
}

void EpollSocketControl::endLingering(std::uint64_t id)
{
    const auto found = m_lingering.find(id);
    if (found == m_lingering.end())
        return;
    m_loop.unwatch(found->second->connection.watch);
    m_loop.cancel(found->second->deadline);
    m_lingering.erase(found);
}
