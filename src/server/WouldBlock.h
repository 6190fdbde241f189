#pragma once

#include <cerrno>

// A non-blocking socket call that found nothing to do now: it is tried
// again once the descriptor is ready, and is no failure.
inline bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}
