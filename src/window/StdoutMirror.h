#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// Writes log entries to standard output on a thread of its own, so that an
// output nobody reads (a pager left on its first page, a paused terminal, a
// supervisor that stopped draining) never holds up the caller. Entries wait
// up to a bound while the output takes nothing; the ones beyond it are
// counted, and once the output flows again a log line says how many were
// not written. A closed output ends the mirror: it reports why once, and
// takes no more entries.
class StdoutMirror {
public:
    static constexpr std::size_t kDefaultMaxWaiting = std::size_t{4} << 20;
    // Called once, on the mirror's own thread, with a sentence saying why
    // the output ended.
    using EndedHandler = std::function<void(const std::string& why)>;

    // `output` stays open and owned by the caller (standard output in the
    // program, a pipe or a file in a test) for the mirror's lifetime.
    StdoutMirror(int output, EndedHandler onEnded, std::size_t maxWaiting = kDefaultMaxWaiting);
    // Writes what is still waiting as far as the output takes it without
    // waiting, then stops.
    ~StdoutMirror();
    StdoutMirror(const StdoutMirror&) = delete;
    StdoutMirror& operator=(const StdoutMirror&) = delete;

    // Takes whole entries, each ended by LF. Never blocks for long: it only
    // copies under a lock the writer holds for no more than a swap.
    void append(std::string_view entries);

private:
    enum class Outcome { Written, Stopping, Ended };

    void run();
    Outcome writeOut(std::string_view bytes, std::string& why);
    // False when the mirror is told to stop meanwhile.
    bool waitUntilWritable();
    void end(const std::string& why);

    int m_output;
    int m_ownOutput = -1; // the output opened anew without blocking, if it could be
    bool m_outputIsSocket = false;
    int m_wake = -1; // an eventfd that ends a wait for the output
    EndedHandler m_onEnded;
    std::size_t m_maxWaiting;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_waiting;
    // Entries given up since the output last took everything; while this is
    // not zero, new entries are counted too, so that the gap is in one place.
    std::uint64_t m_unwritten = 0;
    bool m_stopping = false;
    bool m_ended = false;

    std::thread m_thread; // last: starts when everything above is ready
};
