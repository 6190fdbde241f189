#pragma once

#include <string>
#include <string_view>

// Letter case and blanks the way protocol and file texts treat them: ASCII
// only, whatever the program's locale, so that a byte of a UTF-8 name is
// never taken for a letter.

inline constexpr std::string_view kCrLf = "\r\n";
// Where a message's header ends.
inline constexpr std::string_view kBlankLine = "\r\n\r\n";

[[nodiscard]] constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] std::string asciiLowerCase(std::string_view text);

[[nodiscard]] bool equalsIgnoringCase(std::string_view a, std::string_view b);

// `text` without the characters of `blanks` at either end.
[[nodiscard]] std::string_view trimBlanks(std::string_view text, std::string_view blanks = " \t");

// `text` with every `from` replaced by `to`, matched exactly.
[[nodiscard]] std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
