#pragma once

#include "ActivityLog.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

// The activity log on standard output, written by a thread of its own: a
// console that scrolls slowly, a pager or a pipe nobody drains never holds
// up the engine. Entries wait up to a bound while the output takes nothing;
// the ones beyond it are counted, and once the output takes entries again
// a line says how many were not written. Entries come with CR LF and go out
// with the system's line end.
class ConsoleLog final : public LogSink {
public:
    static constexpr std::size_t kMaxWaiting = std::size_t{4} << 20;

    explicit ConsoleLog(std::FILE* output, std::size_t maxWaiting = kMaxWaiting);
    // Writes what still waits, then stops.
    ~ConsoleLog() override;
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    void appendEntry(std::string_view entry) override;
    // Returns once everything appended so far was written (or given up).
    void flush();

private:
    void run();

    std::FILE* m_output;
    std::size_t m_maxWaiting;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_waiting;
    std::uint64_t m_unwritten = 0;
    bool m_writing = false;
    bool m_stopping = false;
    std::thread m_thread; // last: starts when everything above is ready
};
