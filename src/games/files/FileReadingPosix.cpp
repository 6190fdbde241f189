#include "FileReading.h"

#include <cerrno>

#include <unistd.h>

std::int64_t readAt(NativeFile file, char* into, std::size_t size, std::int64_t offset)
{
    for (;;) {
        const ssize_t count = ::pread(file, into, size, static_cast<off_t>(offset));
        if (count >= 0 || errno != EINTR)
            return count;
    }
}
