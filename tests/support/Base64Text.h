#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

// Bytes as base64 text, padded, as descriptors carry certificates and signatures.
inline std::string encodeBase64(std::string_view bytes)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t here = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = 0;
        for (std::size_t i = 0; i < 3; ++i)
            group = (group << 8) | (i < here ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        for (std::size_t i = 0; i < 4; ++i)
            text += i <= here ? kAlphabet[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
    return text;
}
