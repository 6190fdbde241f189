#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

// Where an archive's entry table (its central directory) lies, as the end
// record at the back of the file says, or the ZIP64 end record before it
// when there is one. The table ends where the end records begin.
struct ZipEnd {
    std::uint64_t entryCount = 0;
    std::uint64_t tableOffset = 0;
    std::uint64_t tableSize = 0;
};

// Reads the end records of `file`, `fileSize` bytes long. Nothing, with
// `error` in words for the operator ("not a zip archive", "truncated or
// damaged (...)"), when there is no end record or the records do not fit
// the file: the table then lies within the file, wherever the records say.
[[nodiscard]] std::optional<ZipEnd> readZipEnd(std::istream& file, std::uint64_t fileSize, std::string& error);
