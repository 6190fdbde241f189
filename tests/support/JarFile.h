#pragma once

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Writes a real zip archive, the way a build tool would, so a test can make
// the exact archive it needs. Hostile ones included: it stores whatever
// names it is given, and an entry can claim a size, a packing method or an
// encryption it does not have.
class JarFile {
public:
    JarFile& add(std::string name, std::string contents, bool stored = false)
    {
        m_entries.push_back({std::move(name), std::move(contents), stored});
        return *this;
    }

    // A manifest holding `lines` (each without its line end) and a blank
    // line after them.
    JarFile& manifest(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        return add("META-INF/MANIFEST.MF", text + "\r\n");
    }

    // The entry added last claims to unpack to `size` bytes; past 32 bits
    // the claim goes into ZIP64 fields.
    JarFile& claimSize(std::uint64_t size)
    {
        m_entries.back().claimedSize = size;
        return *this;
    }

    // The entry added last claims to be packed with `method`, its bytes
    // left as they are.
    JarFile& claimMethod(std::uint16_t method)
    {
        m_entries.back().claimedMethod = method;
        return *this;
    }

    // The entry added last is marked encrypted, its bytes left as they are.
    JarFile& markEncrypted()
    {
        m_entries.back().encrypted = true;
        return *this;
    }

    // Each entry's checksum and sizes follow its bytes in a descriptor,
    // left out of its local header, as a writer that streams its archive
    // does (the entry table still has them).
    JarFile& streamed()
    {
        m_streamed = true;
        return *this;
    }

    // The archive ends with this comment, which may hold anything, an end
    // record's signature included.
    JarFile& comment(std::string text)
    {
        m_comment = std::move(text);
        return *this;
    }

    // Every size, offset and count goes into ZIP64 fields and end records,
    // as a writer that cannot know the sizes beforehand may do.
    JarFile& zip64()
    {
        m_zip64 = true;
        return *this;
    }

    // The archive's bytes, as `write` puts them in a file.
    std::string bytes() const
    {
        std::string table;
        std::string archive;
        for (const Entry& entry : m_entries)
            table += writeEntry(entry, archive);
        const std::uint64_t tableOffset = archive.size();
        archive += table;
        writeEnd(archive, tableOffset, table.size());
        return archive;
    }

    void write(const std::filesystem::path& file) const
    {
        const std::string archive = bytes();
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out.write(archive.data(), static_cast<std::streamsize>(archive.size())))
            throw std::runtime_error("cannot write " + file.string());
    }

private:
    struct Entry {
        std::string name;
        std::string contents;
        bool stored;
        std::optional<std::uint64_t> claimedSize{};
        std::optional<std::uint16_t> claimedMethod{};
        bool encrypted = false;
    };

    static constexpr std::uint32_t kInZip64 = 0xffffffff;
    // 1980-01-01 00:00, the earliest the format can say: archives come out
    // the same every time.
    static constexpr std::uint16_t kDosDate = (1 << 5) | 1;
    static constexpr std::uint16_t kUtf8Names = 0x0800;
    static constexpr std::uint16_t kDescriptorFollows = 0x0008;

    // `value` in `bytes` bytes (at most 8), lowest first.
    static void put(std::string& out, std::uint64_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xff);
    }

    static std::string deflated(const std::string& contents)
    {
        z_stream stream{};
        if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("cannot deflate");
        std::string packed(deflateBound(&stream, contents.size()), '\0');
        // zlib only reads what next_in points at.
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(contents.data()));
        stream.avail_in = static_cast<uInt>(contents.size());
        stream.next_out = reinterpret_cast<Bytef*>(packed.data());
        stream.avail_out = static_cast<uInt>(packed.size());
        const int status = deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        if (status != Z_STREAM_END)
            throw std::runtime_error("cannot deflate");
        return packed;
    }

    // Appends the entry's local header and bytes to `archive`; its record
    // in the entry table.
    std::string writeEntry(const Entry& entry, std::string& archive) const
    {
        const std::string packed = entry.stored ? entry.contents : deflated(entry.contents);
        const std::uint64_t size = entry.claimedSize.value_or(entry.contents.size());
        const bool zip64 = m_zip64 || size >= kInZip64;
        const std::uint64_t offset = archive.size();
        const std::uint16_t flags = kUtf8Names | (entry.encrypted ? 1 : 0) | (m_streamed ? kDescriptorFollows : 0);
        const std::uint16_t method = entry.claimedMethod.value_or(entry.stored ? 0 : 8);
        const std::uint32_t crc = crc32_z(0, reinterpret_cast<const Bytef*>(entry.contents.data()),
                                          entry.contents.size());

        // What the local header and the table's record share, from the
        // version needed on. A streamed entry's local header leaves its
        // checksum and sizes to the descriptor after its bytes.
        const auto common = [&](std::uint32_t crcField, std::uint64_t packedField, std::uint64_t sizeField) {
            std::string fields;
            put(fields, zip64 ? 45 : 20, 2);
            put(fields, flags, 2);
            put(fields, method, 2);
            put(fields, 0, 2);
            put(fields, kDosDate, 2);
            put(fields, crcField, 4);
            put(fields, zip64 ? kInZip64 : packedField, 4);
            put(fields, zip64 ? kInZip64 : sizeField, 4);
            put(fields, entry.name.size(), 2);
            return fields;
        };
        const std::uint64_t localPacked = m_streamed ? 0 : packed.size();
        const std::uint64_t localSize = m_streamed ? 0 : size;

        std::string localExtra;
        std::string tableExtra;
        if (zip64) {
            put(localExtra, 1, 2);
            put(localExtra, 16, 2);
            put(localExtra, localSize, 8);
            put(localExtra, localPacked, 8);
            put(tableExtra, 1, 2);
            put(tableExtra, 24, 2);
            put(tableExtra, size, 8);
            put(tableExtra, packed.size(), 8);
            put(tableExtra, offset, 8);
        }

        put(archive, 0x04034b50, 4);
        archive += common(m_streamed ? 0 : crc, localPacked, localSize);
        put(archive, localExtra.size(), 2);
        archive += entry.name + localExtra + packed;
        if (m_streamed) {
            put(archive, 0x08074b50, 4);
            put(archive, crc, 4);
            put(archive, packed.size(), zip64 ? 8 : 4);
            put(archive, size, zip64 ? 8 : 4);
        }

        std::string record;
        put(record, 0x02014b50, 4);
        put(record, zip64 ? 45 : 20, 2);
        record += common(crc, packed.size(), size);
        put(record, tableExtra.size(), 2);
        // No comment, the first disk, no attributes.
        record.append(2 + 2 + 2 + 4, '\0');
        put(record, zip64 ? kInZip64 : offset, 4);
        return record + entry.name + tableExtra;
    }

    void writeEnd(std::string& archive, std::uint64_t tableOffset, std::uint64_t tableSize) const
    {
        const std::uint64_t count = m_entries.size();
        if (m_zip64) {
            const std::uint64_t recordOffset = archive.size();
            put(archive, 0x06064b50, 4);
            put(archive, 44, 8);
            put(archive, 45, 2);
            put(archive, 45, 2);
            archive.append(4 + 4, '\0');
            put(archive, count, 8);
            put(archive, count, 8);
            put(archive, tableSize, 8);
            put(archive, tableOffset, 8);
            put(archive, 0x07064b50, 4);
            put(archive, 0, 4);
            put(archive, recordOffset, 8);
            put(archive, 1, 4);
        }
        put(archive, 0x06054b50, 4);
        archive.append(2 + 2, '\0');
        put(archive, m_zip64 ? 0xffff : count, 2);
        put(archive, m_zip64 ? 0xffff : count, 2);
        put(archive, m_zip64 ? kInZip64 : tableSize, 4);
        put(archive, m_zip64 ? kInZip64 : tableOffset, 4);
        put(archive, m_comment.size(), 2);
        archive += m_comment;
    }

    std::vector<Entry> m_entries;
    bool m_zip64 = false;
    bool m_streamed = false;
    std::string m_comment;
};
