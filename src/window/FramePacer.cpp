#include "FramePacer.h"

#include <QMetaObject>
#include <QTimerEvent>

namespace {
// A frame of the screen: sooner than this nobody could see the change anyway.
constexpr int kFrameMilliseconds = 16;
} // namespace

FramePacer::FramePacer(std::function<bool()> handOver)
    : m_handOver(std::move(handOver))
{
}

void FramePacer::wake()
{
    QMetaObject::invokeMethod(this, &FramePacer::deliver, Qt::QueuedConnection);
}

void FramePacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frame.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    m_frame.stop();
    deliver();
}

void FramePacer::deliver()
{
    if (m_handOver())
        m_frame.start(kFrameMilliseconds, Qt::PreciseTimer, this);
}
