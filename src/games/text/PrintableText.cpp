#include "PrintableText.h"

#include "Utf8.h"

#include <algorithm>


namespace {

// Code points that end a line, act as terminal commands or reorder the text
// that follows them on screen.
bool bendsTheLog(char32_t codePoint)
{
    const auto within = [codePoint](char32_t first, char32_t last) { return codePoint >= first && codePoint <= last; };
    return within(0x00, 0x1F)          // C0
           || within(0x7F, 0x9F)       // DEL, C1 (NEL, the terminal's CSI)
           || codePoint == 0x061C      // Arabic letter mark
           || within(0x200E, 0x200F)   // left-to-right and right-to-left marks
           || within(0x2028, 0x202E)   // line and paragraph separators, embeddings, overrides
           || within(0x2066, 0x2069);  // isolates
}

void appendEscaped(std::string& result, std::string_view bytes)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char escape[] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
        result.append(escape, sizeof escape);
    }
}

// Printable ASCII, the whole of most paths: kept without decoding.
bool isPlainAscii(char c)
{
    return c >= 0x20 && c < 0x7F;
}

} // namespace

std::string withThousands(std::int64_t number)
{
    std::string digits = std::to_string(number);
    const std::ptrdiff_t sign = number < 0 ? 1 : 0;
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > sign; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

std::string printableMessage(std::string_view message)
{
    std::string result;
    result.reserve(message.size());
    appendPrintable(result, message);
    return result;
}

void appendPrintable(std::string& result, std::string_view message)
{
    while (!message.empty()) {
        const auto plain = static_cast<std::size_t>(
            std::find_if_not(message.begin(), message.end(), isPlainAscii) - message.begin());
        result.append(message.substr(0, plain));
        message.remove_prefix(plain);
        if (message.empty())
            return;
        const Utf8Sequence sequence = decodeUtf8(message);
        // A byte that starts no well-formed sequence is shown alone; the
        // bytes after it get their own chance to start one.
        const std::size_t length = sequence.length == 0 ? 1 : sequence.length;
        if (sequence.length == 0 || bendsTheLog(sequence.codePoint))
            appendEscaped(result, message.substr(0, length));
        else
            result.append(message.substr(0, length));
        message.remove_prefix(length);
    }
}
