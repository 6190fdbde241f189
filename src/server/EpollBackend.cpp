#include "EpollBackend.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <sys/eventfd.h>
#include <unistd.h>

// The loop's bits are epoll's: they go both ways unchanged.
static_assert(Ready::Readable == EPOLLIN && Ready::Writable == EPOLLOUT && Ready::Error == EPOLLERR &&
              Ready::HangUp == EPOLLHUP);

namespace {
// The wake-up descriptor's token: the loop's tokens are never 0.
constexpr ReadinessBackend::Token kWakeUpToken = 0;
constexpr std::uint32_t kReported = Ready::Readable | Ready::Writable | Ready::Error | Ready::HangUp;

[[noreturn]] void failSystem(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}
} // namespace

EpollBackend::EpollBackend()
    : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
    , m_wakeUp(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_epoll < 0 || m_wakeUp < 0) {
        const int error = errno;
        ::close(m_epoll);
        ::close(m_wakeUp);
        errno = error;
        failSystem("Cannot make the event loop");
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeUpToken;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeUp, &event) != 0) {
        ::close(m_wakeUp);
        ::close(m_epoll);
        failSystem("Cannot make the event loop");
    }
}

EpollBackend::~EpollBackend()
{
    ::close(m_wakeUp);
    ::close(m_epoll);
}

void EpollBackend::add(NativeSocket socket, Token token, std::uint32_t interest)
{
    epoll_event event{};
    event.events = interest;
    // Events carry the watch's token rather than the descriptor: a descriptor
    // closed and reused within one turn never receives its predecessor's
    // events.
    event.data.u64 = token;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0)
        failSystem("Cannot watch a descriptor");
}

void EpollBackend::modify(NativeSocket socket, Token token, std::uint32_t interest)
{
    epoll_event event{};
    event.events = interest;
    event.data.u64 = token;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, socket, &event);
}

void EpollBackend::remove(NativeSocket socket, Token)
{
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
}

void EpollBackend::wait(int timeoutMs, std::vector<Event>& ready)
{
    ready.clear();
    const int count = ::epoll_wait(m_epoll, m_events.data(), kEventsPerWait, timeoutMs);
    if (count < 0 && errno != EINTR)
        failSystem("The event loop cannot wait");
    for (int i = 0; i < count; ++i) {
        const Token token = m_events[i].data.u64;
        if (token == kWakeUpToken) {
            std::uint64_t ignored = 0;
            [[maybe_unused]] const auto read = ::read(m_wakeUp, &ignored, sizeof ignored);
            continue;
        }
        ready.push_back({token, m_events[i].events & kReported});
    }
}

void EpollBackend::wakeUp()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wakeUp, &one, sizeof one);
}
