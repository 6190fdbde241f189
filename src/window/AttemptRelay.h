#pragma once

#include "InstallAttempt.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

class PhoneAttemptsModel;

// Hands the install attempts from the engine's thread to the model on the
// window's thread: each change costs the engine a moment's lock and a copy;
// they reach the model in batches, at most one hand-over waiting at a time,
// an attempt changed many times meanwhile only in its newest state.
class AttemptRelay final : public QObject {
public:
    // Lives on the window's thread, as `model` does.
    explicit AttemptRelay(PhoneAttemptsModel& model);

    // From any thread.
    void post(const InstallAttempt& attempt);

private:
    void deliver();

    PhoneAttemptsModel& m_model;
    std::mutex m_mutex;
    // By id: the model takes them in that order.
    std::map<std::uint64_t, InstallAttempt> m_pending;
    bool m_posted = false;
};
