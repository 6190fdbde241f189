#include "GameDirectory.h"

#include <algorithm>
#include <filesystem>

std::string MapPath(std::string_view virtualDir, std::string_view requestPath)
{
    if (requestPath.empty() || requestPath.front() != '/')
        return std::string(requestPath);
    std::string mapped(virtualDir);
    mapped.append(requestPath);
    std::replace(mapped.begin() + static_cast<std::ptrdiff_t>(virtualDir.size()), mapped.end(), '/',
                 static_cast<char>(std::filesystem::path::preferred_separator));
    return mapped;
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

bool isGameDirectoryPath(std::string_view virtualDir, std::string_view requestPath)
{
    if (virtualDir.empty() || requestPath.empty() || requestPath.front() != '/')
        return false;
    return requestPath.find('\0') == std::string_view::npos && !hasDotSegment(requestPath);
}

bool isServableFile(std::string_view virtualDir, std::string_view requestPath, std::string_view mappedPath)
{
    if (!isGameDirectoryPath(virtualDir, requestPath))
        return false;
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(mappedPath), error);
}
