#include "HeaderField.h"

#include "AsciiText.h"

#include <algorithm>

std::optional<std::string_view> fieldLineValue(std::string_view line, std::string_view name)
{
    if (line.size() <= name.size() || !equalsIgnoringCase(line.substr(0, name.size()), name))
        return std::nullopt;
    std::string_view rest = line.substr(name.size());
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    if (!rest.starts_with(':'))
        return std::nullopt;
    return rest.substr(1);
}

std::string headerFieldValue(std::string_view rawValue)
{
    return replaceAll(trimBlanks(rawValue, " "), kLineBreakEscape, kCrLf);
}
