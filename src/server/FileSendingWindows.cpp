#include "FileSending.h"

#include "FileReading.h"
#include "SocketCalls.h"

#include <algorithm>

std::int64_t sendFromFile(NativeSocket socket, const FileBody& body, std::int64_t offset, std::size_t size,
                          std::span<char> buffer)
{
    // Windows has no call that sends from a file descriptor to a
    // non-blocking socket: the file is read a buffer at a time. Bytes read
    // and not taken by the socket are read again on the next call.
    const std::int64_t read = readAt(body.file.get(), buffer.data(), std::min(size, buffer.size()), offset);
    if (read <= 0)
        return read == 0 ? 0 : kBroken;
    return sendSome(socket, buffer.data(), static_cast<std::size_t>(read));
}
