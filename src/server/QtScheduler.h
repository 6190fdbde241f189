#pragma once

#include "Scheduler.h"

#include <QObject>

#include <deque>
#include <functional>

// Runs posted work on the Qt event loop. All work posted before a turn runs
// in that turn, after the socket events waiting then; work posted meanwhile
// waits for the next turn, so steps of long jobs and socket events take turns.
class QtScheduler final : public QObject, public Scheduler {
public:
    explicit QtScheduler(QObject* parent = nullptr);

    void post(std::function<void()> task) override;

private:
    void runTurn();

    std::deque<std::function<void()>> m_tasks;
    bool m_turnPosted = false;
};
