#include "ZipBytes.h"

#include <limits>

bool seekTo(std::istream& file, std::uint64_t offset)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max()))
        return false;
    // A failed read before leaves the stream failed: every read starts clean.
    file.clear();
    return static_cast<bool>(file.seekg(static_cast<std::streamoff>(offset)));
}

std::optional<std::string> bytesAt(std::istream& file, std::uint64_t offset, std::size_t count)
{
    if (!seekTo(file, offset))
        return std::nullopt;
    std::string bytes(count, '\0');
    if (!file.read(bytes.data(), static_cast<std::streamsize>(count)))
        return std::nullopt;
    return bytes;
}
