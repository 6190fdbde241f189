#pragma once

#include "NativeSocket.h"

// Ends the poll backend's wait from another thread: one end is polled for
// reading, the other written to. A pipe on POSIX systems; on Windows, whose
// WSAPoll takes sockets only, a connected pair of loopback sockets.
class WakeUpPair {
public:
    // Throws when the system cannot make it.
    WakeUpPair();
    ~WakeUpPair();
    WakeUpPair(const WakeUpPair&) = delete;
    WakeUpPair& operator=(const WakeUpPair&) = delete;

    // The end to poll for reading.
    [[nodiscard]] NativeSocket waitable() const { return m_reading; }
    // Safe from any thread; never blocks (a full pair is signalled already).
    void signal();
    // Takes in every signal so far.
    void drain();

private:
    NativeSocket m_reading = kNoSocket;
    NativeSocket m_writing = kNoSocket;
};
