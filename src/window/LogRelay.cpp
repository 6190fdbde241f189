#include "LogRelay.h"

#include "ActivityLogView.h"

#include <QMetaObject>

LogRelay::LogRelay(ActivityLogView& view, int output)
    : m_view(view)
    , m_mirror(output,
               [this](const std::string& why) { appendEntry(formatLogEntry(SystemClock().localNow(), "", why)); })
{
}

void LogRelay::appendEntry(std::string_view entry)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.append(entry);
        if (m_posted)
            return;
        m_posted = true;
    }
    QMetaObject::invokeMethod(this, &LogRelay::deliver, Qt::QueuedConnection);
}

void LogRelay::deliver()
{
    {
        std::lock_guard lock(m_mutex);
        m_delivering.clear();
        m_delivering.swap(m_pending);
        m_posted = false;
    }
    m_view.appendEntries(m_delivering);
    m_mirror.append(m_delivering);
}
