#include "LogRelay.h"

#include "ActivityLogView.h"

#include <QMetaObject>
#include <QTimerEvent>

namespace {
// A frame of the screen: sooner than this nobody could see the entries anyway.
constexpr int kFrameMilliseconds = 16;
} // namespace

LogRelay::LogRelay(ActivityLogView& view, int output)
    : m_view(view)
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
    QMetaObject::invokeMethod(this, &LogRelay::deliver, Qt::QueuedConnection);
}

void LogRelay::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frame.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_frame.stop();
    deliver();
}

void LogRelay::deliver()
{
    if (handOver())
        m_frame.start(kFrameMilliseconds, Qt::PreciseTimer, this);
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
