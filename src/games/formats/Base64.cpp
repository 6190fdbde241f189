#include "Base64.h"

namespace {

int sextetOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::optional<std::string> decodeBase64(std::string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int held = 0;
    std::size_t padding = 0;
    std::size_t sextets = 0;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int sextet = sextetOf(c);
        // A character after the padding, or one outside the alphabet.
        if (sextet < 0 || padding > 0)
            return std::nullopt;
        ++sextets;
        bits = (bits << 6) | static_cast<unsigned>(sextet);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    // One sextet alone makes no byte; padding, when there, fills the last quartet.
    if (sextets % 4 == 1 || padding > 2 || (padding > 0 && (sextets + padding) % 4 != 0))
        return std::nullopt;
    return bytes;
}
