#include "Clock.h"

std::time_t SystemClock::secondsNow() const
{
    return std::time(nullptr);
}

std::tm SystemClock::localTime(std::time_t seconds) const
{
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}
