#include "PollBackend.h"

#include "SocketCalls.h"

#include <stdexcept>

namespace {
// The wake-up's token: the loop's tokens are never 0.
constexpr ReadinessBackend::Token kWakeUpToken = 0;

pollfd entryFor(NativeSocket socket, std::uint32_t interest)
{
    pollfd entry{};
    entry.fd = polledSocket(socket, interest);
    entry.events = pollInterest(interest);
    return entry;
}
} // namespace

PollBackend::PollBackend()
{
    m_entries.push_back(entryFor(m_wakeUp.waitable(), Ready::Readable));
    m_tokens.push_back(kWakeUpToken);
}

void PollBackend::add(NativeSocket socket, Token token, std::uint32_t interest)
{
    m_indexOf.emplace(token, m_entries.size());
    m_entries.push_back(entryFor(socket, interest));
    m_tokens.push_back(token);
}

void PollBackend::modify(NativeSocket socket, Token token, std::uint32_t interest)
{
    const auto found = m_indexOf.find(token);
    if (found != m_indexOf.end())
        m_entries[found->second] = entryFor(socket, interest);
}

void PollBackend::remove(NativeSocket, Token token)
{
    const auto found = m_indexOf.find(token);
    if (found == m_indexOf.end())
        return;
    // The last entry takes the place of the one removed.
    const std::size_t index = found->second;
    m_indexOf.erase(found);
    const std::size_t last = m_entries.size() - 1;
    if (index != last) {
        m_entries[index] = m_entries[last];
        m_tokens[index] = m_tokens[last];
        m_indexOf[m_tokens[index]] = index;
    }
    m_entries.pop_back();
    m_tokens.pop_back();
}

void PollBackend::wait(int timeoutMs, std::vector<Event>& ready)
{
    ready.clear();
    int left = pollSockets(m_entries.data(), m_entries.size(), timeoutMs);
    if (left < 0)
        throw std::runtime_error("The event loop cannot wait: " + socketErrorText(lastSocketError()));
    for (std::size_t i = 0; i < m_entries.size() && left > 0; ++i) {
        const short revents = m_entries[i].revents;
        if (revents == 0)
            continue;
        --left;
        if (i == 0) {
            m_wakeUp.drain();
            continue;
        }
        ready.push_back({m_tokens[i], pollReadiness(revents)});
    }
}
