#include "ZipEntryReading.h"

#include "ZipBytes.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint16_t kEncryptedFlag = 1;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::size_t kChunk = 16 * 1024;

enum class Unpacking { Done, TooLarge, Damaged, ReadError };

// Where the entry's packed bytes begin, past its local header; nothing when
// no local header is where the table says, or the bytes would run into the
// table.
std::optional<std::uint64_t> packedStart(std::istream& file, const ZipEntry& entry, std::uint64_t dataEnd)
{
    const auto header = bytesAt(file, entry.localHeaderOffset, kZipLocalHeaderSize);
    if (!header || le32(*header, 0) != kLocalSignature)
        return std::nullopt;
    const std::uint64_t start =
        entry.localHeaderOffset + kZipLocalHeaderSize + le16(*header, 26) + le16(*header, 28);
    if (start > dataEnd || dataEnd - start < entry.packedSize)
        return std::nullopt;
    return start;
}

// One byte past the limit tells an entry of exactly maxBytes from a larger one.
std::size_t outputWanted(std::size_t made, std::size_t maxBytes)
{
    const std::size_t room = maxBytes - made;
    return room < kChunk ? room + 1 : kChunk;
}

Unpacking copyStored(std::istream& file, const ZipEntry& entry, std::uint64_t start, std::size_t maxBytes,
                     std::string& bytes)
{
    const std::size_t wanted =
        entry.packedSize > maxBytes ? maxBytes + 1 : static_cast<std::size_t>(entry.packedSize);
    std::optional<std::string> read = bytesAt(file, start, wanted);
    if (!read)
        return Unpacking::ReadError;
    bytes = std::move(*read);
    return bytes.size() > maxBytes ? Unpacking::TooLarge : Unpacking::Done;
}

// A raw deflate stream (no zlib header: the zip format has none) that is
// ended however inflating ends.
class RawInflater {
public:
    RawInflater() { m_ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
    ~RawInflater()
    {
        if (m_ready)
            inflateEnd(&stream);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }

    z_stream stream{};

private:
    bool m_ready = false;
};

Unpacking inflateDeflated(std::istream& file, const ZipEntry& entry, std::uint64_t start, std::size_t maxBytes,
                          std::string& bytes)
{
    RawInflater inflater;
    z_stream& stream = inflater.stream;
    if (!inflater.ready() || !seekTo(file, start))
        return Unpacking::ReadError;
    bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, maxBytes)));
    std::array<char, kChunk> packed;
    std::array<char, kChunk> unpacked;
    std::uint64_t packedLeft = entry.packedSize;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            // The packed bytes end inside the deflate stream.
            if (packedLeft == 0)
                return Unpacking::Damaged;
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(packedLeft, kChunk));
            if (!file.read(packed.data(), static_cast<std::streamsize>(count)))
                return Unpacking::ReadError;
            packedLeft -= count;
            stream.next_in = reinterpret_cast<Bytef*>(packed.data());
            stream.avail_in = static_cast<uInt>(count);
        }
        const std::size_t wanted = outputWanted(bytes.size(), maxBytes);
        stream.next_out = reinterpret_cast<Bytef*>(unpacked.data());
        stream.avail_out = static_cast<uInt>(wanted);
        status = inflate(&stream, Z_NO_FLUSH);
        // Z_BUF_ERROR: all input taken, more is read above.
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return Unpacking::Damaged;
        bytes.append(unpacked.data(), wanted - stream.avail_out);
        if (bytes.size() > maxBytes)
            return Unpacking::TooLarge;
    }
    return Unpacking::Done;
}

} // namespace

std::optional<std::string> readZipEntry(std::istream& file, const ZipEntry& entry, std::uint64_t dataEnd,
                                        std::size_t maxBytes, std::string& error)
{
    const std::string quoted = "\"" + entry.name + "\"";
    const auto refuse = [&](const std::string& why) {
        error = quoted + " cannot be read (" + why + ")";
        return std::nullopt;
    };
    if ((entry.flags & kEncryptedFlag) != 0)
        return refuse("it is encrypted");
    if (entry.method != kStored && entry.method != kDeflated)
        return refuse("unsupported compression method " + std::to_string(entry.method));
    const std::optional<std::uint64_t> start = packedStart(file, entry, dataEnd);
    if (!start)
        return refuse("its local header is damaged");

    std::string bytes;
    const Unpacking unpacking = entry.method == kStored ? copyStored(file, entry, *start, maxBytes, bytes)
                                                        : inflateDeflated(file, entry, *start, maxBytes, bytes);
    switch (unpacking) {
    case Unpacking::TooLarge:
        error = quoted + " is larger than " + std::to_string(maxBytes) + " bytes";
        return std::nullopt;
    case Unpacking::Damaged:
        return refuse("its packed data is damaged");
    case Unpacking::ReadError:
        return refuse("read error");
    case Unpacking::Done:
        break;
    }
    if (bytes.size() != entry.size)
        return refuse("its size does not match the entry table");
    if (crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()) != entry.crc)
        return refuse("CRC error");
    return bytes;
}
