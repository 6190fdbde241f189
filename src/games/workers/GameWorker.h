#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one thread that does the game directory's slow work: reading folders
// and archives for the game list, checking games for the operator. Answering
// a phone never waits for it. Jobs run one at a time in the order they were
// posted; each belongs to an owner, which can drop what it queued.
class GameWorker {
public:
    using Owner = const void*;

    GameWorker();
    // Stops after the job under way; queued jobs are dropped.
    ~GameWorker();
    GameWorker(const GameWorker&) = delete;
    GameWorker& operator=(const GameWorker&) = delete;

    void post(Owner owner, std::function<void()> job);
    // Drops the jobs `owner` queued; one of its jobs under way runs on.
    void dropQueued(Owner owner);
    // Drops the jobs `owner` queued and returns once none of its jobs runs:
    // afterwards the worker no longer touches the owner.
    void forget(Owner owner);
    // Returns when every job posted so far has run.
    void waitUntilIdle();

private:
    struct Job {
        Owner owner = nullptr;
        std::function<void()> work;
    };

    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    // The owner of the job under way, while `m_busy`.
    Owner m_running = nullptr;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
