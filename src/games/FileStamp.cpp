#include "FileStamp.h"

#include <sys/stat.h>

std::optional<FileStamp> fileStamp(const std::filesystem::path& file)
{
    // One look at the file: both figures from the same moment.
    struct stat status {};
    if (file.empty() || ::stat(file.c_str(), &status) != 0)
        return std::nullopt;
    const auto modified = std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec);
    return FileStamp{static_cast<std::uintmax_t>(status.st_size),
                     std::filesystem::file_time_type::clock::from_sys(
                         std::chrono::sys_time<std::chrono::nanoseconds>(modified))};
}
