#pragma once

#include <string>

// The bytes a PNG of this size begins with (signature, IHDR, an end chunk),
// padded to `size` bytes when asked: all the list reads of an icon.
inline std::string tinyPng(int width, int height, std::size_t size = 0)
{
    const auto bigEndian = [](unsigned value) {
        return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                           static_cast<char>(value)};
    };
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + "IHDR" + bigEndian(width) +
                      bigEndian(height) + std::string("\x08\x06\x00\x00\x00", 5) + bigEndian(0) + bigEndian(0) +
                      "IEND" + bigEndian(0xAE426082);
    if (png.size() < size)
        png.resize(size, '\0');
    return png;
}
