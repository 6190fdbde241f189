#pragma once

#include <functional>

// Runs work later, after the events that are already waiting, so that a long
// job can go on in steps without holding up the connections.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual void post(std::function<void()> task) = 0;
};
