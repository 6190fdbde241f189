#include "FileStamp.h"

#include "NativeFile.h"
#include "Utf8FileName.h"

bool changedWithin(const FileStamp& stamp, std::filesystem::file_time_type now, std::chrono::nanoseconds within)
{
    using Clock = std::filesystem::file_time_type::clock;
    const auto changed = Clock::from_sys(std::chrono::sys_time<std::chrono::nanoseconds>(
        std::chrono::seconds(stamp.changedSeconds) + std::chrono::nanoseconds(stamp.changedNanoseconds)));
    return now - stamp.modified < within || now - changed < within;
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file)
{
    const std::optional<FileLook> look = lookAtName(file);
    if (!look)
        return std::nullopt;
    return look->stamp;
}

std::optional<FileStamp> fileStamp(const std::string& file)
{
    return fileStamp(pathFromUtf8(file));
}
