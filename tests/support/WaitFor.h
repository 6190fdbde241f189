#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

// Runs the event loop until the condition holds or the time is up. Unlike
// QTest::qWaitFor it does not sleep between turns, so a server in this
// process that works in many short turns runs at full speed.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes the loop now and then to look at the condition
    tick.start(5);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
