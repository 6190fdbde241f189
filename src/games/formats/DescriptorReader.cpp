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

std::string_view withoutLeadingMarks(std::string_view text)
{
    while (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

bool endsLinesWithCrLf(std::string_view text)
{
    for (std::size_t at = text.find_first_of("\r\n"); at != std::string_view::npos;
         at = text.find_first_of("\r\n", at + 2)) {
        if (text.substr(at, 2) != "\r\n")
            return false;
    }
    return true;
}

// A byte-order mark inside the text (files joined together) is no part of a
// name, nor are the blanks around it, in whatever order the two come.
std::string_view nameBefore(std::string_view line, std::size_t colon)
{
    std::string_view name = trimBlanks(line.substr(0, colon));
    while (name.starts_with(kByteOrderMark))
        name = trimBlanks(name.substr(kByteOrderMark.size()));
    return name;
}

// The rules a phone reads a line by.
class StrictReader {
public:
    explicit StrictReader(AttributeReading& reading)
        : m_reading(reading)
    {
    }

    void take(std::size_t number, std::string_view line)
    {
        if (trimBlanks(line).empty()) {
            problem(number, "a blank line", "remove the blank line");
            return;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            problem(number, "a line without \":\" (\"" + std::string(line) + "\")",
                    "write it as \"Name: value\" or remove it");
            return;
        }
        const std::string_view name = line.substr(0, colon);
        if (name.empty()) {
            problem(number, "a line without a name before \":\"", "give the attribute its name");
            return;
        }
        if (holdsBlankOrControl(name))
            problem(number, "the name \"" + std::string(name) + "\" holds a blank or control character",
                    "remove the blanks before the \":\"");
        if (name.size() > kMaxDescriptorNameBytes)
            problem(number,
                    "the name \"" + std::string(name) + "\" is longer than " +
                        std::to_string(kMaxDescriptorNameBytes) + " bytes",
                    "shorten it");
        if (!m_seen.emplace(name).second) {
            problem(number, "\"" + std::string(name) + "\" is given twice", "keep one of the two lines");
            return;
        }
        m_reading.attributes.add(std::string(name), std::string(trimBlanks(line.substr(colon + 1))));
    }

private:
    void problem(std::size_t number, std::string what, std::string fix)
    {
        m_reading.problems.push_back({number, std::move(what), std::move(fix)});
    }

    AttributeReading& m_reading;
    std::set<std::string, std::less<>> m_seen;
};

// The rules the repair reads a line by, forgiving what it can.
class ForgivingReader {
public:
    explicit ForgivingReader(ForgivingReading& reading)
        : m_reading(reading)
    {
    }

    // `line` with any bytes that are not UTF-8 replaced already.
    void take(std::string_view line)
    {
        // The first line of a file joined on begins with that file's mark.
        line = withoutLeadingMarks(line);
        if (trimBlanks(line).empty()) {
            m_blank = true;
            return;
        }
        // A line that begins with a blank carries on the value above it.
        if (line.front() == ' ' && m_lastTaken) {
            m_reading.attributes.back().value += std::string(line.substr(1));
            m_wrapped = true;
            return;
        }
        const std::size_t colon = line.find(':');
        const std::string_view name = colon == std::string_view::npos ? std::string_view() : nameBefore(line, colon);
        m_lastTaken = false;
        if (name.empty()) {
            m_nameless = true;
            return;
        }
        m_blanksInNames = m_blanksInNames || name != line.substr(0, colon);
        if (!m_seen.emplace(name).second) {
            m_twice.emplace(name);
            return;
        }
        m_reading.attributes.push_back({std::string(name), std::string(trimBlanks(line.substr(colon + 1)))});
        m_lastTaken = true;
    }

    void finish()
    {
        for (auto& attribute : m_reading.attributes)
            attribute.value = std::string(trimBlanks(attribute.value));
        std::vector<std::string>& changes = m_reading.changes;
        if (m_blank)
            changes.push_back("blank lines removed");
        if (m_wrapped)
            changes.push_back("wrapped lines joined");
        if (m_nameless)
            changes.push_back("lines without a name removed");
        if (m_blanksInNames)
            changes.push_back("blanks around names removed");
        for (const std::string& name : m_twice)
            changes.push_back(name + " given twice: the first kept");
    }

private:
    ForgivingReading& m_reading;
    std::set<std::string, std::less<>> m_seen;
    std::set<std::string, std::less<>> m_twice;
    bool m_blank = false, m_wrapped = false, m_nameless = false, m_blanksInNames = false;
    bool m_lastTaken = false;
};

} // namespace

DescriptorReading readDescriptorText(std::string_view text)
{
    DescriptorReading reading;
    AttributeReading& strict = reading.asPhoneReadsIt;
    std::vector<std::string>& changes = reading.asRepaired.changes;

    if (text.starts_with(kByteOrderMark)) {
        strict.problems.push_back({1, "the file begins with a byte-order mark",
                                   "save it as UTF-8 without a byte-order mark (BOM)"});
        changes.push_back("byte-order mark removed");
        text.remove_prefix(kByteOrderMark.size());
    }
    const std::optional<std::size_t> invalid = firstInvalidUtf8(text);
    if (invalid)
        strict.problems.push_back({lineOfOffset(text, *invalid), "the text is not UTF-8", "save the file as UTF-8",
                                   "a phone reads the bytes as replacement characters and installs the game, "
                                   "unless they fall in MIDlet-Name, -Version or -Vendor, which it then reports "
                                   "as 905 Attribute mismatch"});
    // A file saved twice by an editor that adds a mark each time carries two:
    // all of them go, and a file of marks alone has no lines to repair.
    const std::string_view unmarked = withoutLeadingMarks(text);
    if (firstInvalidUtf8(unmarked))
        changes.push_back("bytes that are not UTF-8 replaced");
    if (!endsLinesWithCrLf(unmarked))
        changes.push_back("line ends made CR LF");

    StrictReader asPhone(strict);
    ForgivingReader asRepair(reading.asRepaired);
    std::size_t number = 0;
    for (const std::string_view line : splitLines(text)) {
        asPhone.take(++number, line);
        // Bytes that are not UTF-8 never hold a line end, so a line is replaced as the whole text would be.
        if (!unmarked.empty())
            asRepair.take(invalid ? std::string_view(withReplacementCharacters(line)) : line);
    }
    asRepair.finish();
    return reading;
}

AttributeReading readDescriptor(std::string_view text)
{
    return readDescriptorText(text).asPhoneReadsIt;
}
