#include "DescriptorReader.h"

#include "TextLines.h"
#include "Utf8.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool holdsBlankOrControl(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

std::size_t lineOfOffset(std::string_view text, std::size_t offset)
{
    const std::string_view before = text.substr(0, offset);
    std::size_t line = 1;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == '\n' || (before[i] == '\r' && (i + 1 == before.size() || before[i + 1] != '\n')))
            ++line;
    }
    return line;
}

} // namespace

AttributeReading readDescriptor(std::string_view text)
{
    AttributeReading reading;
    if (text.starts_with(kByteOrderMark)) {
        reading.problems.push_back({1, "the file begins with a byte-order mark",
                                    "save it as UTF-8 without a byte-order mark (BOM)"});
        text.remove_prefix(kByteOrderMark.size());
    }
    if (const auto invalid = firstInvalidUtf8(text))
        reading.problems.push_back({lineOfOffset(text, *invalid), "the text is not UTF-8", "save the file as UTF-8",
                                    "a phone reads the bytes as replacement characters and installs the game, "
                                    "unless they fall in MIDlet-Name, -Version or -Vendor, which it then reports "
                                    "as 905 Attribute mismatch"});

    std::set<std::string, std::less<>> seen;
    std::size_t number = 0;
    for (const std::string_view line : splitLines(text)) {
        ++number;
        if (trimBlanks(line).empty()) {
            reading.problems.push_back({number, "a blank line", "remove the blank line"});
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            reading.problems.push_back({number, "a line without \":\" (\"" + std::string(line) + "\")",
                                        "write it as \"Name: value\" or remove it"});
            continue;
        }
        const std::string_view name = line.substr(0, colon);
        if (name.empty()) {
            reading.problems.push_back({number, "a line without a name before \":\"", "give the attribute its name"});
            continue;
        }
        if (holdsBlankOrControl(name))
            reading.problems.push_back({number,
                                        "the name \"" + std::string(name) + "\" holds a blank or control character",
                                        "remove the blanks before the \":\""});
        if (name.size() > kMaxDescriptorNameBytes)
            reading.problems.push_back({number, "the name \"" + std::string(name) + "\" is longer than " +
                                                    std::to_string(kMaxDescriptorNameBytes) + " bytes",
                                        "shorten it"});
        if (!seen.emplace(name).second) {
            reading.problems.push_back({number, "\"" + std::string(name) + "\" is given twice",
                                        "keep one of the two lines"});
            continue;
        }
        reading.attributes.add(std::string(name), std::string(trimBlanks(line.substr(colon + 1))));
    }
    return reading;
}
