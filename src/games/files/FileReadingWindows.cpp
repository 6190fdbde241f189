#include "FileReading.h"

#include <algorithm>

#include <windows.h>

std::int64_t readAt(NativeFile file, char* into, std::size_t size, std::int64_t offset)
{
    // The offset goes with each read: the handle's own position, which the
    // system moves after a read like this, is never relied on, so answers
    // reading one file at once from several threads do not disturb each other.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    DWORD count = 0;
    if (ReadFile(file, into, chunk, &count, &at))
        return count;
    // Past the end, a read from a given offset fails rather than reading nothing.
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}
