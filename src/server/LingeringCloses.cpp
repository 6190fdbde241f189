#include "LingeringCloses.h"

#include "SocketCalls.h"

#include <chrono>

namespace {
// How long a connection closed from this end may take to hand over what is
// still queued for it, and for the peer to close its end, before it is cut.
constexpr std::chrono::milliseconds kLinger{30'000};
} // namespace

LingeringCloses::LingeringCloses(EventLoop& loop, std::span<char> readBuffer,
                                 OutgoingQueue::SmallBodyBuffer& smallBody)
    : m_loop(loop)
    , m_readBuffer(readBuffer)
    , m_smallBody(smallBody)
{
}

LingeringCloses::~LingeringCloses()
{
    for (auto& [id, lingering] : m_lingering) {
        m_loop.unwatch(lingering.watch);
        m_loop.cancel(lingering.deadline);
    }
}

void LingeringCloses::start(OwnedSocket socket, OutgoingQueue unsent, bool peerShut)
{
    const std::uint64_t id = m_nextId++;
    Lingering lingering;
    lingering.socket = std::move(socket);
    lingering.output = std::move(unsent);
    lingering.peerShut = peerShut;
    lingering.interest = Ready::Readable | (lingering.output.empty() ? 0u : Ready::Writable);
    lingering.watch = m_loop.watch(lingering.socket.get(), lingering.interest,
                                   [this, id](std::uint32_t) { onReady(id); });
    lingering.deadline = m_loop.runAfter(kLinger, [this, id] { end(id); });
    m_lingering.emplace(id, std::move(lingering));
    onReady(id);
}

void LingeringCloses::onReady(std::uint64_t id)
{
    const auto found = m_lingering.find(id);
    if (found == m_lingering.end())
        return;
    Lingering& lingering = found->second;
    if (!lingering.output.empty()) {
        std::int64_t written = 0;
        const auto result = lingering.output.writeSome(lingering.socket.get(), OutgoingQueue::kSliceBytes,
                                                       m_smallBody, written);
        if (result == OutgoingQueue::WriteResult::Broken || result == OutgoingQueue::WriteResult::FileShrank)
            return end(id);
    }
    if (lingering.output.empty() && !lingering.sendingShut) {
        shutdownSending(lingering.socket.get());
        lingering.sendingShut = true;
    }
    while (!lingering.peerShut) {
        const std::int64_t count = receiveSome(lingering.socket.get(), m_readBuffer.data(), m_readBuffer.size());
        if (count == 0)
            lingering.peerShut = true;
        else if (count == kBlocked)
            break;
        else if (count < 0)
            return end(id);
    }
    if (lingering.peerShut && lingering.sendingShut)
        return end(id);
    const std::uint32_t wanted = (lingering.peerShut ? 0u : Ready::Readable) | (lingering.output.empty() ? 0u : Ready::Writable);
    if (wanted != lingering.interest) {
        lingering.interest = wanted;
        m_loop.modify(lingering.watch, wanted);
    }
}

void LingeringCloses::end(std::uint64_t id)
{
    const auto found = m_lingering.find(id);
    if (found == m_lingering.end())
        return;
    m_loop.unwatch(found->second.watch);
    m_loop.cancel(found->second.deadline);
    m_lingering.erase(found);
}
