#include "FileStamp.h"

std::optional<FileStamp> fileStamp(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error)
        return std::nullopt;
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(file, error);
    if (error)
        return std::nullopt;
    return FileStamp{size, modified};
}
