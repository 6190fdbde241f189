#pragma once

#include <chrono>
#include <thread>

// Whether the condition comes true within the time; for state that another
// thread changes.
template <typename Condition>
bool eventually(Condition condition, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
