#include "Clock.h"

std::time_t SystemClock::secondsNow() const
{
    return std::time(nullptr);
}

std::tm SystemClock::localTime(std::time_t seconds) const
{
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}
