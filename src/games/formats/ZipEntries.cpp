#include "ZipEntries.h"

#include "ZipBytes.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

constexpr std::uint32_t kRecordSignature = 0x02014b50;
constexpr std::size_t kRecordSize = 46;
constexpr std::uint16_t kZip64FieldsId = 0x0001;
// A 32-bit field holding this says the value is in the ZIP64 fields.
constexpr std::uint32_t kInZip64Fields = 0xffffffff;

const std::string kDamaged = "truncated or damaged (its entry table does not match its contents)";

// Takes the values the record left to its ZIP64 fields, in the order the
// format keeps them there: size, packed size, header offset. False when a
// value is left there but missing.
bool readZip64Fields(std::string_view extra, ZipEntry& entry)
{
    std::uint64_t* const values[] = {&entry.size, &entry.packedSize, &entry.localHeaderOffset};
    bool needed = false;
    for (const std::uint64_t* value : values)
        needed = needed || *value == kInZip64Fields;
    if (!needed)
        return true;
    while (extra.size() >= 4) {
        const std::uint16_t id = le16(extra, 0);
        const std::size_t size = le16(extra, 2);
        if (size > extra.size() - 4)
            return false;
        std::string_view fields = extra.substr(4, size);
        extra.remove_prefix(4 + size);
        if (id != kZip64FieldsId)
            continue;
        for (std::uint64_t* value : values) {
            if (*value != kInZip64Fields)
                continue;
            if (fields.size() < 8)
                return false;
            *value = le64(fields, 0);
            fields.remove_prefix(8);
        }
        return true;
    }
    return false;
}

// The entry whose record begins at `at` in `table`, moving `at` past it;
// nothing when the record is cut short or damaged.
std::optional<ZipEntry> readRecord(std::string_view table, std::size_t& at)
{
    if (table.size() - at < kRecordSize || le32(table, at) != kRecordSignature)
        return std::nullopt;
    const std::string_view record = table.substr(at);
    const std::size_t nameSize = le16(record, 28);
    const std::size_t extraSize = le16(record, 30);
    const std::size_t commentSize = le16(record, 32);
    if (record.size() - kRecordSize < nameSize + extraSize + commentSize)
        return std::nullopt;
    ZipEntry entry{std::string(record.substr(kRecordSize, nameSize)),
                   le16(record, 8),
                   le16(record, 10),
                   le32(record, 16),
                   le32(record, 20),
                   le32(record, 24),
                   le32(record, 42)};
    if (!readZip64Fields(record.substr(kRecordSize + nameSize, extraSize), entry))
        return std::nullopt;
    at += kRecordSize + nameSize + extraSize + commentSize;
    return entry;
}

// Whether the entry's local header and packed bytes fit before the table.
bool fitsBeforeTable(const ZipEntry& entry, std::uint64_t tableOffset)
{
    return entry.localHeaderOffset <= tableOffset && tableOffset - entry.localHeaderOffset >= kZipLocalHeaderSize &&
           tableOffset - entry.localHeaderOffset - kZipLocalHeaderSize >= entry.packedSize;
}

// Whether two entries share bytes of the file. Each entry is taken to span
// at least its fixed header and packed bytes (its name and extra field only
// add to that), which is enough to catch one stretch of packed bytes listed
// as many entries: a zip bomb that stays small on disk.
bool overlap(const std::vector<ZipEntry>& entries)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    spans.reserve(entries.size());
    // fitsBeforeTable has kept these sums below the table's offset.
    for (const ZipEntry& entry : entries)
        spans.emplace_back(entry.localHeaderOffset, entry.localHeaderOffset + kZipLocalHeaderSize + entry.packedSize);
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            return true;
    return false;
}

} // namespace

std::optional<std::vector<ZipEntry>> readZipEntries(std::istream& file, const ZipEnd& end, std::string& error)
{
    if (end.entryCount > end.tableSize / kRecordSize) {
        error = kDamaged;
        return std::nullopt;
    }
    const auto table = bytesAt(file, end.tableOffset, static_cast<std::size_t>(end.tableSize));
    if (!table) {
        error = "cannot be read";
        return std::nullopt;
    }
    std::vector<ZipEntry> entries;
    entries.reserve(static_cast<std::size_t>(end.entryCount));
    std::size_t at = 0;
    for (std::uint64_t index = 0; index < end.entryCount; ++index) {
        std::optional<ZipEntry> entry = readRecord(*table, at);
        if (!entry) {
            error = "truncated or damaged (entry " + std::to_string(index + 1) + " cannot be read)";
            return std::nullopt;
        }
        if (!fitsBeforeTable(*entry, end.tableOffset)) {
            error = kDamaged;
            return std::nullopt;
        }
        entries.push_back(std::move(*entry));
    }
    if (at != table->size() || overlap(entries)) {
        error = kDamaged;
        return std::nullopt;
    }
    return entries;
}
