#pragma once

#include <string>
#include <string_view>
#include <vector>

// Sets one value of a settings file's text and leaves every other byte as it
// was: the INI library that reads the file would write it back whole,
// dropping lines it does not understand and moving blanks and comments.
//
// Lines are seen exactly as the reader sees them, so that a write changes the
// line that a later read finds: a line ends at CR LF, LF or a lone CR; blanks
// and tabs before a line do not count; ";" and "#" start comments; "[name]"
// starts a section; "key = value" is an entry, the key running to the first
// "=" and trimmed; names match in any ASCII letter case; a section may come
// more than once, and of two entries for one key the later one counts. A line
// that starts with "[" but has no "]" hides the entries after it until the
// next section, as it does from the reader.
class IniLineEditor {
public:
    explicit IniLineEditor(std::string_view text);

    // Replaces the value on the key's line, keeping the spacing around "="
    // and after the value; or adds "key=value" after the last line of the
    // section that is neither blank nor a comment; or adds the section at the
    // end. New lines end as the file's first line does (LF in a file without
    // any). Returns false, changing nothing, when the names or the value
    // would not read back as given (a line break or NUL in any of them, an
    // empty or padded name, "]" in the section, "=" in the key), or when the
    // text holds a NUL, which hides everything after it from the reader.
    [[nodiscard]] bool setValue(std::string_view section, std::string_view key, std::string_view value);

    [[nodiscard]] std::string text() const;

private:
    struct Line {
        std::string content; // without its ending
        std::string ending;  // "\r\n", "\n", "\r" or "" for a last line without one
    };

    [[nodiscard]] std::string_view newline() const;
    void insertLine(std::size_t position, std::string content);

    std::string m_byteOrderMark;
    std::vector<Line> m_lines;
    bool m_holdsNul = false;
};
