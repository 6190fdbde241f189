#pragma once

#include "ActivityLog.h"

#include <mutex>
#include <string>
#include <vector>

// Keeps every entry; safe to append to from the engine's thread while the
// test reads.
class MemoryLog final : public LogSink {
public:
    void appendEntry(std::string_view entry) override
    {
        const std::lock_guard lock(m_mutex);
        m_entries.emplace_back(entry);
    }

    [[nodiscard]] std::vector<std::string> entries() const
    {
        const std::lock_guard lock(m_mutex);
        return m_entries;
    }

    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_entries.clear();
    }

    [[nodiscard]] bool contains(std::string_view text) const
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& entry : m_entries)
            if (entry.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

// Always 20:17:07 on 8 December 2026.
class FixedClock final : public Clock {
public:
    std::time_t secondsNow() const override { return 0; }
    std::tm localTime(std::time_t) const override
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
