#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A path from UTF-8, the program's own text. A plain std::string would be
// taken in the system's code page on Windows, where names outside it would
// not survive.
[[nodiscard]] inline std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
