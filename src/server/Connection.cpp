#include "Connection.h"

#include "SocketCalls.h"

#include <algorithm>

namespace {
// Data left untaken stays in the system, not in this process: past this
// much the element stops reading, and the peer has to wait.
constexpr std::size_t kMaxInputBytes = 64 * 1024;
} // namespace

Connection::Connection(NativeSocket acceptedSocket)
    : socket(acceptedSocket)
{
}

Connection::ReadResult Connection::readSome(std::span<char> buffer)
{
    const std::size_t room = kMaxInputBytes - std::min(kMaxInputBytes, input.size());
    if (room == 0 || peerShut)
        return ReadResult::Nothing;
    const std::int64_t count = receiveSome(socket.get(), buffer.data(), std::min(room, buffer.size()));
    if (count < 0)
        return count == kBlocked ? ReadResult::Nothing : ReadResult::Broken;
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
        sendAtOnce(socket.get());
        sendsAtOnce = true;
    }
    hasWritten = true;
    return output.writeSome(socket.get(), OutgoingQueue::kSliceBytes, smallBody, written, moved);
}

void Connection::updateInterest(EventLoop& loop)
{
    std::uint32_t wanted = 0;
    if (!peerShut && input.size() < kMaxInputBytes)
        wanted |= Ready::Readable;
    // What waits for the end of the turn needs no readiness event.
    if (!output.empty() && !flushQueued)
        wanted |= Ready::Writable;
    if (wanted == interest)
        return;
    interest = wanted;
    loop.modify(watch, wanted);
}

std::string Connection::localAddress() const
{
    return ::localAddress(socket.get());
}
