#include "MimeType.h"

#include "AsciiText.h"

#include <array>
#include <filesystem>
#include <utility>

std::string GetFileExtension(std::string_view path)
{
    // Mapped paths carry the platform's separator, request paths "/".
    static constexpr char kSeparators[] = {'/', static_cast<char>(std::filesystem::path::preferred_separator), '\0'};
    const auto separator = path.find_last_of(kSeparators);
    const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string GetMimeType(std::string_view path)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kTypes{{
        {".html", "text/html"},
        {".jad", kDescriptorType},
        {".jar", kArchiveType},
    }};
    const std::string extension = asciiLowerCase(GetFileExtension(path));
    for (const auto& [known, type] : kTypes) {
        if (extension == known)
            return std::string(type);
    }
    return "text/html";
}
