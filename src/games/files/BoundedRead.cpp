#include "BoundedRead.h"

#include <fstream>

#include <cerrno>
#include <unistd.h>

std::optional<std::string> readBounded(const std::filesystem::path& file, std::size_t maxBytes)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(maxBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::optional<std::string> readBounded(int file, std::size_t maxBytes)
{
    std::string bytes(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t count = ::pread(file, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        got += static_cast<std::size_t>(count);
    }
    bytes.resize(got);
    return bytes;
}
