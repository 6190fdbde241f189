#include "WakeUpPair.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <unistd.h>

WakeUpPair::WakeUpPair()
{
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("Cannot make the event loop: ") + std::strerror(errno));
    m_reading = ends[0];
    m_writing = ends[1];
}

WakeUpPair::~WakeUpPair()
{
    ::close(m_reading);
    ::close(m_writing);
}

void WakeUpPair::signal()
{
    const char one = 1;
    [[maybe_unused]] const auto written = ::write(m_writing, &one, 1);
}

void WakeUpPair::drain()
{
    std::array<char, 256> taken{};
    while (::read(m_reading, taken.data(), taken.size()) > 0) {
    }
}
