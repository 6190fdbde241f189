#include "Utf8.h"

Utf8Sequence decodeUtf8(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80)
        return {1, lead};
    std::size_t length = 0;
    char32_t codePoint = 0;
    // The second byte's range is where overlong forms, surrogates and values
    // past U+10FFFF are shut out.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {};
    }
    if (text.size() < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return {};
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {length, codePoint};
}

std::string withReplacementCharacters(std::string_view text)
{
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = decodeUtf8(text).length;
        if (length == 0) {
            result.append(kReplacement);
            text.remove_prefix(1);
        } else {
            result.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return result;
}

bool looksLikeText(std::string_view bytes)
{
    std::size_t controls = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            return false;
        if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F)
            ++controls;
    }
    // A stray control character is a damaged text; many are another kind of file.
    return controls * 100 <= bytes.size();
}

std::optional<std::size_t> firstInvalidUtf8(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = decodeUtf8(text.substr(at)).length;
        if (length == 0)
            return at;
        at += length;
    }
    return std::nullopt;
}
