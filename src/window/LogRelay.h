#pragma once

#include "ActivityLog.h"
#include "FramePacer.h"
#include "StdoutMirror.h"

#include <QObject>

#include <mutex>
#include <string>
#include <string_view>

#include <unistd.h>

class ActivityLogView;

// The log sink the window hands to the engine. Entries come from any thread,
// tens of thousands a second when the server is busy; each costs a moment's
// lock and a copy, and nothing else: the writer wakes nobody. The first
// entry after a quiet spell wakes the window's thread at once; from then on
// the window's thread comes back for the entries once a frame while any
// keep coming, so a busy server costs it, and the standard-output mirror
// behind it, one wake-up a frame however many requests it serves. From the
// window's thread the entries go into the view and to the mirror together,
// in the order they came.
class LogRelay final : public LogSink {
public:
    // Lives on the window's thread, as `view` does. `output` is where the
    // mirror writes: standard output unless a test gives another.
    explicit LogRelay(ActivityLogView& view, int output = STDOUT_FILENO);
    // The entries of the last frame still reach the view and the mirror.
    ~LogRelay() override;

    void appendEntry(std::string_view entry) override;

private:
    // False, and asleep until the next entry, when none were waiting.
    bool handOver();

    ActivityLogView& m_view;
    FramePacer m_pacer;
    std::mutex m_mutex;
    std::string m_pending;
    // The pacer is awake (a hand-over is posted or a frame runs): new entries just wait.
    bool m_awake = false;
    std::string m_delivering; // kept between hand-overs for its capacity
    StdoutMirror m_mirror; // last: its thread may still append here until it ends
};
