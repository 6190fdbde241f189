#include "FileStamp.h"

FileStamp stampOf(const struct stat& status)
{
    const auto modified = std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec);
    return FileStamp{static_cast<std::uintmax_t>(status.st_size),
                     std::filesystem::file_time_type::clock::from_sys(
                         std::chrono::sys_time<std::chrono::nanoseconds>(modified)),
                     static_cast<std::int64_t>(status.st_ctim.tv_sec), static_cast<std::int64_t>(status.st_ctim.tv_nsec),
                     static_cast<std::uintmax_t>(status.st_dev), static_cast<std::uintmax_t>(status.st_ino)};
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file)
{
    // One look at the file: every figure from the same moment.
    struct stat status {};
    if (file.empty() || ::stat(file.c_str(), &status) != 0)
        return std::nullopt;
    return stampOf(status);
}
