#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The newest lines of the log, as UTF-8, up to a number of lines and a number
// of bytes: whichever is reached first drops the oldest lines. Lines are
// packed into blocks of a few thousand, so a line costs its bytes and four
// more, and appending one is a copy and no allocation of its own.
class LogLines {
public:
    LogLines(std::size_t maxLines, std::size_t maxBytes);

    // Keeps `line` (without its line break) as the newest line.
    void append(std::string_view line);

    [[nodiscard]] std::size_t size() const { return m_size; }
    // Line `index`, 0 being the oldest kept. Valid until the next append.
    [[nodiscard]] std::string_view at(std::size_t index) const;
    // How many lines were given up to stay within the bounds.
    [[nodiscard]] std::uint64_t dropped() const { return m_dropped; }

private:
    struct Block {
        std::string bytes;
        std::vector<std::uint32_t> ends; // where each line of the block ends in `bytes`
    };

    [[nodiscard]] std::string_view lineOf(const Block& block, std::size_t slot) const;
    void dropOldest();

    std::size_t m_maxLines;
    std::size_t m_maxBytes;
    std::deque<Block> m_blocks;
    std::size_t m_firstSlot = 0; // lines of the front block already dropped
    std::size_t m_size = 0;
    std::size_t m_bytes = 0;
    std::uint64_t m_dropped = 0;
};
