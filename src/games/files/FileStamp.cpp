#include "FileStamp.h"

#include "NativeFile.h"
#include "Utf8FileName.h"

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
