#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A file's name from UTF-8, the program's own text, and back. A plain std::string is
// taken in the system's code page on Windows, where names outside it would
// not survive; on POSIX systems the bytes are the name, UTF-8 or not.
[[nodiscard]] inline std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

[[nodiscard]] inline std::string utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
