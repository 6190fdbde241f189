#pragma once

#include "Clock.h"

#include <ctime>
#include <string>
#include <string_view>

// "# DD-MM-YY HH:MM:SS # - ": how every entry starts.
[[nodiscard]] std::string formatLogStamp(const std::tm& time);

// The stamp of the current second, made when the second changes: a busy
// server writes thousands of entries a second, and turning the time into
// local calendar text for each would cost more than the rest of the entry.
class LogStamp {
public:
    explicit LogStamp(const Clock& clock);

    // Valid until the next call.
    [[nodiscard]] std::string_view now();

private:
    const Clock& m_clock;
    std::time_t m_second = 0;
    std::string m_text;
};
