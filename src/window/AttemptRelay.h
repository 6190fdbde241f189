#pragma once

#include "FramePacer.h"
#include "InstallAttempt.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

class PhoneAttemptsModel;

// Hands the install attempts from the engine's thread to the model on the
// window's thread: each change costs the engine a moment's lock and a copy;
// they reach the model in batches at most once a frame (see FramePacer), an
// attempt changed many times meanwhile only in its newest state.
class AttemptRelay final {
public:
    // Lives on the window's thread, as `model` does.
    explicit AttemptRelay(PhoneAttemptsModel& model);

    // From any thread.
    void post(const InstallAttempt& attempt);

private:
    // False when nothing was waiting.
    bool handOver();

    PhoneAttemptsModel& m_model;
    FramePacer m_pacer;
    std::mutex m_mutex;
    // By id: the model takes them in that order.
    std::map<std::uint64_t, InstallAttempt> m_pending;
    bool m_awake = false;
};
