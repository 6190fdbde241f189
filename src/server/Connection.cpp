#include "Connection.h"

#include "DottedAddress.h"
#include "WouldBlock.h"

#include <algorithm>
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
    // The first write of a connection leaves at once whatever the setting:
    // nothing is waiting for the peer's acknowledgement yet. Any write after
    // it could be held back until the peer acknowledges the last one, so
    // small answers are made to leave at once from then on: a connection that
    // sends one answer in one write, as most do, never needs to be told.
    if (!sendsAtOnce && (hasWritten || !output.leavesInOneWrite(smallBody.size(), OutgoingQueue::kSliceBytes))) {
        const int on = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sendsAtOnce = true;
    }
    hasWritten = true;
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

std::string Connection::localAddress() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    return dottedAddress(local) + ":" + std::to_string(ntohs(local.sin_port));
}
