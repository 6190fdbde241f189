#include "AttemptRelay.h"

#include "PhoneAttemptsModel.h"

#include <QMetaObject>

AttemptRelay::AttemptRelay(PhoneAttemptsModel& model)
    : m_model(model)
{
}

void AttemptRelay::post(const InstallAttempt& attempt)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending[attempt.id] = attempt;
        // The model shows no more than its newest rows: older ones waiting are let go.
        if (m_pending.size() > static_cast<std::size_t>(PhoneAttemptsModel::kMaxRows))
            m_pending.erase(m_pending.begin());
        if (m_posted)
            return;
        m_posted = true;
    }
    QMetaObject::invokeMethod(this, &AttemptRelay::deliver, Qt::QueuedConnection);
}

void AttemptRelay::deliver()
{
    std::map<std::uint64_t, InstallAttempt> taken;
    {
        std::lock_guard lock(m_mutex);
        taken.swap(m_pending);
        m_posted = false;
    }
    std::vector<InstallAttempt> changed;
    changed.reserve(taken.size());
    for (auto& [id, attempt] : taken)
        changed.push_back(std::move(attempt));
    m_model.apply(changed);
}
