#pragma once

#include "PollCalls.h"
#include "ReadinessBackend.h"
#include "WakeUpPair.h"

#include <unordered_map>
#include <vector>

// The backend of every system: the watched sockets in an array handed to
// the system's poll at every wait (WSAPoll on Windows). The first entry is
// the wake-up's.
class PollBackend final : public ReadinessBackend {
public:
    PollBackend();

    void add(NativeSocket socket, Token token, std::uint32_t interest) override;
    void modify(NativeSocket socket, Token token, std::uint32_t interest) override;
    void remove(NativeSocket socket, Token token) override;
    // A closed socket left in the array would be polled, or its number
    // reused by another: it goes at once.
    void removeClosing(NativeSocket socket, Token token) override { remove(socket, token); }
    void wait(int timeoutMs, std::vector<Event>& ready) override;
    void wakeUp() override { m_wakeUp.signal(); }

private:
    WakeUpPair m_wakeUp;
    std::vector<pollfd> m_entries;
    // The token of each entry, by the same index.
    std::vector<Token> m_tokens;
    std::unordered_map<Token, std::size_t> m_indexOf;
};
