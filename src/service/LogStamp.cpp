#include "LogStamp.h"

#include <array>
#include <cstdio>

std::string formatLogStamp(const std::tm& time)
{
    std::array<char, 64> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "# %02d-%02d-%02d %02d:%02d:%02d # - ", time.tm_mday, time.tm_mon + 1,
                  (time.tm_year + 1900) % 100, time.tm_hour, time.tm_min, time.tm_sec);
    return stamp.data();
}

LogStamp::LogStamp(const Clock& clock)
    : m_clock(clock)
{
}

std::string_view LogStamp::now()
{
    const std::time_t second = m_clock.secondsNow();
    if (m_text.empty() || second != m_second) {
        m_text = formatLogStamp(m_clock.localTime(second));
        m_second = second;
    }
    return m_text;
}
