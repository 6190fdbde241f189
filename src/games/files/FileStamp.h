#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// What tells that a file changed since it was last read, without reading it
// again: its size, its modification and change times and which file it is.
// The change time catches a rewrite within the modification time's tick that
// keeps the size, and a file replaced by another. Which file it is: the
// device and inode on POSIX systems, the volume's serial number and the
// file's index on Windows.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// Whether the file was modified or changed within `within` of `now` (or
// after it): a change in the same tick of the file system's clock as one
// already seen would go unseen.
[[nodiscard]] bool changedWithin(const FileStamp& stamp, std::filesystem::file_time_type now,
                                 std::chrono::nanoseconds within);

// The file's stamp, or nothing when it is missing or cannot be looked at.
[[nodiscard]] std::optional<FileStamp> fileStamp(const std::filesystem::path& file);
// The same for a name in UTF-8, the program's own text.
[[nodiscard]] std::optional<FileStamp> fileStamp(const std::string& file);
