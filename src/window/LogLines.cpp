#include "LogLines.h"

#include <algorithm>

namespace {
constexpr std::size_t kLinesPerBlock = 4096;
// A log entry is about 90 bytes; a block starts with room for lines a little
// longer and is trimmed to its size once full.
constexpr std::size_t kBytesReservedPerBlock = kLinesPerBlock * 128;
} // namespace

LogLines::LogLines(std::size_t maxLines, std::size_t maxBytes)
    : m_maxLines(std::max<std::size_t>(maxLines, 1))
    , m_maxBytes(maxBytes)
{
}

void LogLines::append(std::string_view line)
{
    if (m_blocks.empty() || m_blocks.back().ends.size() == kLinesPerBlock) {
        if (!m_blocks.empty())
            m_blocks.back().bytes.shrink_to_fit();
        Block& block = m_blocks.emplace_back();
        block.bytes.reserve(kBytesReservedPerBlock);
        block.ends.reserve(kLinesPerBlock);
    }
    Block& block = m_blocks.back();
    block.bytes.append(line);
    block.ends.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    ++m_size;
    m_bytes += line.size();
    // The newest line stays, however long: the view would be empty otherwise.
    while (m_size > 1 && (m_size > m_maxLines || m_bytes > m_maxBytes))
        dropOldest();
}

std::string_view LogLines::at(std::size_t index) const
{
    const std::size_t position = m_firstSlot + index;
    return lineOf(m_blocks[position / kLinesPerBlock], position % kLinesPerBlock);
}

std::string_view LogLines::lineOf(const Block& block, std::size_t slot) const
{
    const std::uint32_t begin = slot == 0 ? 0 : block.ends[slot - 1];
    return std::string_view(block.bytes).substr(begin, block.ends[slot] - begin);
}

void LogLines::dropOldest()
{
    m_bytes -= lineOf(m_blocks.front(), m_firstSlot).size();
    --m_size;
    ++m_dropped;
    if (++m_firstSlot == kLinesPerBlock) {
        m_blocks.pop_front();
        m_firstSlot = 0;
    }
}
