#pragma once

#include "ActivityLog.h"

#include <string>
#include <vector>

class MemoryLog final : public LogSink {
public:
    void appendEntry(std::string_view entry) override { entries.emplace_back(entry); }
    std::vector<std::string> entries;
};

// Always 20:17:07 on 8 December 2026.
class FixedClock final : public Clock {
public:
    std::tm localNow() const override
    {
        std::tm time{};
        time.tm_year = 2026 - 1900;
        time.tm_mon = 11;
        time.tm_mday = 8;
        time.tm_hour = 20;
        time.tm_min = 17;
        time.tm_sec = 7;
        return time;
    }
};
