#include "ConsoleLog.h"

#include <utility>

ConsoleLog::ConsoleLog(std::FILE* output, std::size_t maxWaiting)
    : m_output(output)
    , m_maxWaiting(maxWaiting)
    , m_thread(&ConsoleLog::run, this)
{
}

ConsoleLog::~ConsoleLog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ConsoleLog::appendEntry(std::string_view entry)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting.size() + entry.size() > m_maxWaiting) {
            ++m_unwritten;
            return;
        }
        if (m_unwritten > 0) {
            m_waiting += std::to_string(m_unwritten) + " log entries were not written: the output took nothing\n";
            m_unwritten = 0;
        }
        // CR LF is the log's own line end; the output gets the system's.
        m_waiting.append(entry.substr(0, entry.ends_with("\r\n") ? entry.size() - 2 : entry.size())).append("\n");
    }
    m_changed.notify_all();
}

void ConsoleLog::flush()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() && !m_writing; });
}

void ConsoleLog::run()
{
    std::string writing;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_waiting.empty() && m_stopping)
            return;
        std::swap(writing, m_waiting);
        m_writing = true;
        lock.unlock();
        std::fwrite(writing.data(), 1, writing.size(), m_output);
        std::fflush(m_output);
        writing.clear();
        lock.lock();
        m_writing = false;
        m_changed.notify_all();
    }
}
