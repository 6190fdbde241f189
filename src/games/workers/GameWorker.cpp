#include "GameWorker.h"

GameWorker::GameWorker()
    : m_thread(&GameWorker::run, this)
{
}

GameWorker::~GameWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void GameWorker::post(Owner owner, std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_jobs.push_back({owner, std::move(job)});
    }
    m_changed.notify_all();
}

void GameWorker::dropQueued(Owner owner)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_jobs, [owner](const Job& job) { return job.owner == owner; });
}

void GameWorker::forget(Owner owner)
{
    std::unique_lock lock(m_mutex);
    std::erase_if(m_jobs, [owner](const Job& job) { return job.owner == owner; });
    m_changed.wait(lock, [this, owner] { return !m_busy || m_running != owner; });
}

void GameWorker::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopping || (m_jobs.empty() && !m_busy); });
}

void GameWorker::run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = job.owner;
        m_busy = true;
        lock.unlock();
        job.work();
        // The job's captures go before its owner is told it is done.
        job.work = nullptr;
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
