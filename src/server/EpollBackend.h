#pragma once

#include "ReadinessBackend.h"

#include <array>

#include <sys/epoll.h>

// The Linux default: the system keeps the set of watched sockets, so a wait
// costs nothing per idle connection. Posted work wakes it through an eventfd.
class EpollBackend final : public ReadinessBackend {
public:
    EpollBackend();
    ~EpollBackend() override;
    EpollBackend(const EpollBackend&) = delete;
    EpollBackend& operator=(const EpollBackend&) = delete;

    void add(NativeSocket socket, Token token, std::uint32_t interest) override;
    void modify(NativeSocket socket, Token token, std::uint32_t interest) override;
    void remove(NativeSocket socket, Token token) override;
    // Closing a descriptor takes it out of the system's set: telling the
    // system first would be a system call for nothing.
    void removeClosing(NativeSocket, Token) override {}
    void wait(int timeoutMs, std::vector<Event>& ready) override;
    void wakeUp() override;

private:
    static constexpr int kEventsPerWait = 256;

    int m_epoll = -1;
    int m_wakeUp = -1;
    std::array<epoll_event, kEventsPerWait> m_events{};
};
