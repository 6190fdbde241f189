#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// How the zip reader takes bytes from an archive: a range of the file, and
// the little-endian numbers the zip format stores in it.

// Moves the file's read position to `offset`; false when it cannot.
[[nodiscard]] bool seekTo(std::istream& file, std::uint64_t offset);

// `count` bytes at `offset`, or nothing when the file ends before them or
// cannot be read. The caller bounds `count`: it is allocated as asked.
[[nodiscard]] std::optional<std::string> bytesAt(std::istream& file, std::uint64_t offset, std::size_t count);

// The number stored in the `size` bytes at `at` in `bytes`, lowest byte
// first; the caller has checked that they are there.
[[nodiscard]] inline std::uint64_t littleEndian(std::string_view bytes, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

[[nodiscard]] inline std::uint16_t le16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(littleEndian(bytes, at, 2));
}

[[nodiscard]] inline std::uint32_t le32(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(littleEndian(bytes, at, 4));
}

[[nodiscard]] inline std::uint64_t le64(std::string_view bytes, std::size_t at)
{
    return littleEndian(bytes, at, 8);
}
