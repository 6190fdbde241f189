#include "GameDirectory.h"

#include "NativeFile.h"
#include "WindowsNames.h"

#include <algorithm>
#include <filesystem>

std::string mapRequestPath(std::string_view virtualDir, std::string_view requestPath)
{
    if (requestPath.empty() || requestPath.front() != '/')
        return std::string(requestPath);
    std::string mapped(virtualDir);
    mapped.append(requestPath);
    std::replace(mapped.begin() + static_cast<std::ptrdiff_t>(virtualDir.size()), mapped.end(), '/',
                 static_cast<char>(std::filesystem::path::preferred_separator));
    return mapped;
}

std::string shownPath(std::string_view requestPath)
{
    return std::string(requestPath.substr(requestPath.starts_with('/') ? 1 : 0));
}

namespace {

bool hasDotSegment(std::string_view requestPath)
{
    for (std::size_t start = 0; start < requestPath.size();) {
        const auto end = std::min(requestPath.find('/', start), requestPath.size());
        if (end > start && requestPath[start] == '.')
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool isServablePath(std::string_view virtualDir, std::string_view requestPath)
{
    if (virtualDir.empty() || requestPath.empty() || requestPath.front() != '/')
        return false;
    return requestPath.find('\0') == std::string_view::npos && !hasDotSegment(requestPath)
           && !(kNamesBend && bendsOnWindows(requestPath));
}

OpenedGameFile openGameFile(std::string_view virtualDir, std::string_view requestPath, const std::string& mappedPath)
{
    OpenedGameFile opened;
    if (!isServablePath(virtualDir, requestPath))
        return opened;
    const OpenAttempt attempt = openForReading(mappedPath);
    FileDescriptor file(attempt.file);
    if (!file.isOpen()) {
        opened.status = attempt.missing ? OpenedGameFile::Status::NotFound : OpenedGameFile::Status::Unreadable;
        return opened;
    }
    const std::optional<FileLook> look = lookAt(file.get());
    if (!look) {
        opened.status = OpenedGameFile::Status::Unreadable;
        return opened;
    }
    if (!look->ordinary)
        return opened;
    opened.status = OpenedGameFile::Status::Opened;
    opened.stamp = look->stamp;
    opened.body = FileBody{SharedDescriptor(std::move(file)), static_cast<std::int64_t>(look->stamp.size), mappedPath,
                           0, nullptr};
    return opened;
}
