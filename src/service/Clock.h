#pragma once

#include <ctime>

// Where the log's time stamps come from.
class Clock {
public:
    virtual ~Clock() = default;
    // The current second: cheap enough to ask for every entry.
    [[nodiscard]] virtual std::time_t secondsNow() const = 0;
    // `seconds` as the local calendar time: dearer, asked once per second.
    [[nodiscard]] virtual std::tm localTime(std::time_t seconds) const = 0;

    [[nodiscard]] std::tm localNow() const { return localTime(secondsNow()); }
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] std::time_t secondsNow() const override;
    [[nodiscard]] std::tm localTime(std::time_t seconds) const override;
};
