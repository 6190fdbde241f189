#include "MimeType.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

std::string GetFileExtension(std::string_view path)
{
    const auto dot = path.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string GetMimeType(std::string_view path)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kTypes{{
        {".html", "text/html"},
        {".jad", "text/vnd.sun.j2me.app-descriptor"},
        {".jar", "application/java-archive"},
    }};
    std::string extension = GetFileExtension(path);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [known, type] : kTypes) {
        if (extension == known)
            return std::string(type);
    }
    return "text/html";
}
