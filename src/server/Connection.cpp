#include "Connection.h"

#include "WouldBlock.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace {
// Data left untaken stays in the system, not in this process: past this
// much the element stops reading, and the peer has to wait.
constexpr std::size_t kMaxInputBytes = 64 * 1024;
} // namespace

Connection::Connection(int acceptedSocket)
    : socket(acceptedSocket)
{
    const int on = 1;
    ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Connection::ReadResult Connection::readSome(std::span<char> buffer)
{
    const std::size_t room = kMaxInputBytes - std::min(kMaxInputBytes, input.size());
    if (room == 0 || peerShut)
        return ReadResult::Nothing;
    const ssize_t count = ::recv(socket.get(), buffer.data(), std::min(room, buffer.size()), 0);
    if (count < 0)
        return errno == EINTR || wouldBlock(errno) ? ReadResult::Nothing : ReadResult::Broken;
    if (count == 0) {
        peerShut = true;
        return ReadResult::Nothing;
    }
    input.append(buffer.data(), static_cast<std::size_t>(count));
    return ReadResult::Arrived;
}

OutgoingQueue::WriteResult Connection::writeSome(OutgoingQueue::SmallBodyBuffer& smallBody, std::int64_t& written,
                                                 std::vector<OutgoingQueue::FileMoved>* moved)
{
    return output.writeSome(socket.get(), OutgoingQueue::kSliceBytes, smallBody, written, moved);
}

void Connection::updateInterest(EventLoop& loop)
{
    std::uint32_t wanted = 0;
    if (!peerShut && input.size() < kMaxInputBytes)
        wanted |= EPOLLIN;
    // What waits for the end of the turn needs no readiness event.
    if (!output.empty() && !flushQueued)
        wanted |= EPOLLOUT;
    if (wanted == interest)
        return;
    interest = wanted;
    loop.modify(watch, wanted);
}

namespace {

// "192.168.1.5", or nothing when the system cannot say.
std::string dotted(const sockaddr_in& address)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    return ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) ? std::string(text.data()) : std::string();
}

} // namespace

std::string Connection::peerAddress() const
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    return ::getpeername(socket.get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0 ? dotted(peer) : std::string();
}

std::string Connection::localAddress() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    return dotted(local) + ":" + std::to_string(ntohs(local.sin_port));
}
