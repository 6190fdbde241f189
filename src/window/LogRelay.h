#pragma once

#include "ActivityLog.h"
#include "StdoutMirror.h"

#include <QObject>

#include <mutex>
#include <string>
#include <string_view>

#include <unistd.h>

class ActivityLogView;

// The log sink the window hands to the engine. Entries come from any thread,
// tens of thousands a second when the server is busy; each costs a moment's
// lock and a copy. They reach the window's thread in batches, at most one
// hand-over waiting at a time, and from there go into the view and to the
// standard-output mirror together, in the order they came.
class LogRelay final : public QObject, public LogSink {
public:
    // Lives on the window's thread, as `view` does. `output` is where the
    // mirror writes: standard output unless a test gives another.
    explicit LogRelay(ActivityLogView& view, int output = STDOUT_FILENO);

    void appendEntry(std::string_view entry) override;

private:
    void deliver();

    ActivityLogView& m_view;
    std::mutex m_mutex;
    std::string m_pending;
    bool m_posted = false;
    std::string m_delivering; // kept between hand-overs for its capacity
    StdoutMirror m_mirror; // last: its thread may still append here until it ends
};
