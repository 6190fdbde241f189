#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

// Size and modification time of a file: what tells that it changed since
// it was last read, without reading it again.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    bool operator==(const FileStamp&) const = default;
};

// The file's stamp, or nothing when it is missing or cannot be looked at.
[[nodiscard]] std::optional<FileStamp> fileStamp(const std::filesystem::path& file);
