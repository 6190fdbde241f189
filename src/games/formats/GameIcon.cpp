#include "GameIcon.h"

#include "AsciiText.h"
#include "JarArchive.h"

#include <cstdint>

namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

std::uint32_t bigEndian32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (const char byte : bytes.substr(0, 4))
        value = (value << 8) | static_cast<unsigned char>(byte);
    return value;
}

bool climbsOut(std::string_view name)
{
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::optional<std::string> iconEntryName(const AttributeList& attributes)
{
    std::string_view name = trimBlanks(attributes.value("MIDlet-Icon").value_or(""));
    if (name.empty()) {
        const std::string_view first = attributes.value("MIDlet-1").value_or("");
        const std::size_t comma = first.find(',');
        if (comma != std::string_view::npos)
            name = trimBlanks(first.substr(comma + 1, first.find(',', comma + 1) - comma - 1));
    }
    while (name.starts_with('/'))
        name.remove_prefix(1);
    if (name.empty() || climbsOut(name))
        return std::nullopt;
    return std::string(name);
}

std::optional<std::pair<int, int>> pngSize(std::string_view bytes)
{
    // The signature, then the IHDR chunk: its length, its type, width and height.
    constexpr std::size_t kHeaderEnd = 24;
    if (bytes.size() < kHeaderEnd || !bytes.starts_with(kPngSignature) || bytes.substr(12, 4) != "IHDR")
        return std::nullopt;
    const std::uint32_t width = bigEndian32(bytes.substr(16));
    const std::uint32_t height = bigEndian32(bytes.substr(20));
    if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff)
        return std::nullopt;
    return std::pair{static_cast<int>(width), static_cast<int>(height)};
}

std::optional<GameIcon> readGameIcon(const JarArchive& archive, const std::string& entryName)
{
    std::string error;
    std::optional<std::string> bytes = archive.readEntry(entryName, kMaxIconBytes, error);
    if (!bytes)
        return std::nullopt;
    const auto size = pngSize(*bytes);
    if (!size || size->first > kMaxIconSide || size->second > kMaxIconSide)
        return std::nullopt;
    return GameIcon{std::move(*bytes), size->first, size->second};
}
