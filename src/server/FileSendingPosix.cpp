#include "FileSending.h"

#include "SocketCalls.h"

#include <cerrno>

#include <sys/sendfile.h>

std::int64_t sendFromFile(NativeSocket socket, const FileBody& body, std::int64_t offset, std::size_t size,
                          std::span<char>)
{
    off_t from = offset;
    ssize_t count = 0;
    do
        count = ::sendfile(socket, body.file.get(), &from, size);
    while (count < 0 && errno == EINTR);
    if (count >= 0)
        return count;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kBlocked : kBroken;
}
