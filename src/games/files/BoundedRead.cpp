#include "BoundedRead.h"

#include "Utf8FileName.h"

#include <fstream>

std::optional<std::string> readBounded(const std::string& file, std::size_t maxBytes)
{
    std::ifstream in(pathFromUtf8(file), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(maxBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}
