#include "AttemptRelay.h"

#include "PhoneAttemptsModel.h"

AttemptRelay::AttemptRelay(PhoneAttemptsModel& model)
    : m_model(model)
    , m_pacer([this] { return handOver(); })
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
        if (m_awake)
            return;
        m_awake = true;
    }
    m_pacer.wake();
}

bool AttemptRelay::handOver()
{
    std::map<std::uint64_t, InstallAttempt> taken;
    {
        std::lock_guard lock(m_mutex);
        if (m_pending.empty()) {
            m_awake = false;
            return false;
        }
        taken.swap(m_pending);
    }
    std::vector<InstallAttempt> changed;
    changed.reserve(taken.size());
    for (auto& [id, attempt] : taken)
        changed.push_back(std::move(attempt));
    m_model.apply(std::move(changed));
    return true;
}
