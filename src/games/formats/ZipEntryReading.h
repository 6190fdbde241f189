#pragma once

#include "ZipEntries.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>

// The bytes of `entry`, stored or deflated, once they match the size and
// checksum the entry table gives. Nothing, with `error` in words for the
// operator, when the entry is larger than `maxBytes` ("\"a/B.class\" is
// larger than 100 bytes") or cannot be read ("\"a/B.class\" cannot be read
// (CRC error)": encrypted, packed another way, damaged). Never makes more
// than `maxBytes` + 1 bytes of output, and reads no packed byte at or past
// `dataEnd`, where the entry table begins.
[[nodiscard]] std::optional<std::string> readZipEntry(std::istream& file, const ZipEntry& entry,
                                                      std::uint64_t dataEnd, std::size_t maxBytes,
                                                      std::string& error);
