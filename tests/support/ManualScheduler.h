#pragma once

#include "Scheduler.h"

#include <deque>
#include <functional>

// Posted work waits until the test runs it, one turn at a time.
class ManualScheduler final : public Scheduler {
public:
    void post(std::function<void()> task) override { tasks.push_back(std::move(task)); }

    // Runs what was posted before this turn; returns whether anything ran.
    bool runTurn()
    {
        std::deque<std::function<void()>> turn;
        turn.swap(tasks);
        for (auto& task : turn)
            task();
        return !turn.empty();
    }

    void runUntilIdle()
    {
        while (runTurn()) {
        }
    }

    std::deque<std::function<void()>> tasks;
};
