#pragma once

#include "ZipEnd.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

// An entry's local header, before its name, extra field and packed bytes.
inline constexpr std::size_t kZipLocalHeaderSize = 30;

// One entry as the archive's entry table describes it. Its sizes and
// checksum are the table's: the local header's copies are not read.
struct ZipEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeaderOffset = 0;
};

// The entries of the table `end` points at, in the table's order, with
// sizes and offsets from their ZIP64 fields where the table gives them
// there. Nothing, with `error` in words for the operator ("truncated or
// damaged (...)"), when an entry's record is cut short or damaged, the
// records do not fill the table, or an entry's header and packed bytes
// would not fit before the table or would share bytes with another
// entry's. The caller bounds end.entryCount.
[[nodiscard]] std::optional<std::vector<ZipEntry>> readZipEntries(std::istream& file, const ZipEnd& end,
                                                                  std::string& error);
