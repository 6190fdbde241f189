#include "IniLineEditor.h"

#include "AsciiText.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

bool isBlankOrComment(std::string_view line)
{
    const auto start = line.find_first_not_of(kBlanks);
    return start == std::string_view::npos || line[start] == ';' || line[start] == '#';
}

// What a line is to the reader.
struct LineMeaning {
    enum class Kind { Other, Section, BrokenSection, Entry } kind = Kind::Other;
    std::string_view name;        // the section's or the entry's
    std::size_t valueStart = 0;   // entries: where the value begins in the line
    std::size_t valueEnd = 0;     // entries: just after its last non-blank
};

LineMeaning meaningOf(std::string_view line)
{
    if (isBlankOrComment(line))
        return {};
    const auto start = line.find_first_not_of(kBlanks);
    if (line[start] == '[') {
        const auto close = line.find(']', start);
        if (close == std::string_view::npos)
            return {LineMeaning::Kind::BrokenSection, {}};
        return {LineMeaning::Kind::Section, trimBlanks(line.substr(start + 1, close - start - 1))};
    }
    const auto equals = line.find('=', start);
    if (equals == std::string_view::npos || equals == start)
        return {};
    LineMeaning entry{LineMeaning::Kind::Entry, trimBlanks(line.substr(start, equals - start))};
    entry.valueStart = std::min(line.find_first_not_of(kBlanks, equals + 1), line.size());
    entry.valueEnd = std::max(line.find_last_not_of(kBlanks) + 1, entry.valueStart);
    return entry;
}

constexpr std::string_view kLineBreaksAndNul{"\r\n\0", 3};

bool readsBack(std::string_view name)
{
    return !name.empty() && trimBlanks(name) == name && name.find_first_of(kLineBreaksAndNul) == std::string_view::npos;
}

bool readsBack(std::string_view section, std::string_view key, std::string_view value)
{
    return readsBack(section) && section.find(']') == std::string_view::npos && readsBack(key)
           && key.find('=') == std::string_view::npos && key.front() != '[' && !isBlankOrComment(key)
           && value.find_first_of(kLineBreaksAndNul) == std::string_view::npos;
}

} // namespace

IniLineEditor::IniLineEditor(std::string_view text)
{
    m_holdsNul = text.find('\0') != std::string_view::npos;
    if (text.starts_with(kByteOrderMark)) {
        m_byteOrderMark = kByteOrderMark;
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            m_lines.push_back({std::string(text), ""});
            break;
        }
        const std::size_t endingLength = text.substr(end).starts_with("\r\n") ? 2 : 1;
        m_lines.push_back({std::string(text.substr(0, end)), std::string(text.substr(end, endingLength))});
        text.remove_prefix(end + endingLength);
    }
}

bool IniLineEditor::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (m_holdsNul || !readsBack(section, key, value))
        return false;

    // The key's last line is the one the reader keeps.
    std::optional<std::size_t> entryLine;
    // The last line of the section's first occurrence that is neither blank nor a comment.
    std::optional<std::size_t> sectionEnd;
    bool inSection = false;
    bool inFirstOccurrence = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineMeaning meaning = meaningOf(m_lines[i].content);
        if (meaning.kind == LineMeaning::Kind::Section || meaning.kind == LineMeaning::Kind::BrokenSection) {
            inSection = meaning.kind == LineMeaning::Kind::Section && equalsIgnoringCase(meaning.name, section);
            inFirstOccurrence = inSection && !sectionEnd;
        } else if (inSection && meaning.kind == LineMeaning::Kind::Entry && equalsIgnoringCase(meaning.name, key)) {
            entryLine = i;
        }
        if (inFirstOccurrence && !isBlankOrComment(m_lines[i].content))
            sectionEnd = i;
    }

    if (entryLine) {
        std::string& content = m_lines[*entryLine].content;
        const LineMeaning meaning = meaningOf(content);
        content.replace(meaning.valueStart, meaning.valueEnd - meaning.valueStart, value);
    } else if (sectionEnd) {
        insertLine(*sectionEnd + 1, std::string(key) + "=" + std::string(value));
    } else {
        if (!m_lines.empty() && !trimBlanks(m_lines.back().content).empty())
            insertLine(m_lines.size(), "");
        insertLine(m_lines.size(), "[" + std::string(section) + "]");
        insertLine(m_lines.size(), std::string(key) + "=" + std::string(value));
    }
    return true;
}

std::string IniLineEditor::text() const
{
    std::string text = m_byteOrderMark;
    for (const Line& line : m_lines)
        text.append(line.content).append(line.ending);
    return text;
}

std::string_view IniLineEditor::newline() const
{
    for (const Line& line : m_lines) {
        if (!line.ending.empty())
            return line.ending;
    }
    return "\n";
}

void IniLineEditor::insertLine(std::size_t position, std::string content)
{
    // The line before a new one may have been the last, without an ending.
    if (position > 0 && m_lines[position - 1].ending.empty())
        m_lines[position - 1].ending = newline();
    Line line{std::move(content), std::string(newline())};
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(position), std::move(line));
}
