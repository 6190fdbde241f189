#include "QtScheduler.h"

#include <QMetaObject>

QtScheduler::QtScheduler(QObject* parent)
    : QObject(parent)
{
}

void QtScheduler::post(std::function<void()> task)
{
    m_tasks.push_back(std::move(task));
    if (m_turnPosted)
        return;
    m_turnPosted = true;
    QMetaObject::invokeMethod(this, &QtScheduler::runTurn, Qt::QueuedConnection);
}

void QtScheduler::runTurn()
{
    m_turnPosted = false;
    std::deque<std::function<void()>> turn;
    turn.swap(m_tasks);
    for (auto& task : turn)
        task();
}
