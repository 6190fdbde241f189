#include "LogRelay.h"

#include "ActivityLogView.h"

LogRelay::LogRelay(ActivityLogView& view, int output)
    : m_view(view)
    , m_pacer([this] { return handOver(); })
    , m_mirror(output,
               [this](const std::string& why) { appendEntry(formatLogEntry(SystemClock().localNow(), "", why)); })
{
}

LogRelay::~LogRelay()
{
    handOver();
}

void LogRelay::appendEntry(std::string_view entry)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.append(entry);
        if (m_awake)
            return;
        m_awake = true;
    }
    m_pacer.wake();
}

bool LogRelay::handOver()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_pending.empty()) {
            m_awake = false;
            return false;
        }
        m_delivering.clear();
        m_delivering.swap(m_pending);
    }
    m_view.appendEntries(m_delivering);
    m_mirror.append(m_delivering);
    return true;
}
