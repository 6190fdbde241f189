#include "ZipEnd.h"

#include "ZipBytes.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kMaxCommentSize = 0xffff;

constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::size_t kZip64EndSize = 56;
// The ZIP64 end record counts its size from past these fields.
constexpr std::uint64_t kZip64EndLead = 12;

const std::string kDamaged = "truncated or damaged (its entry table does not match its contents)";
const std::string kSplit = "cannot be opened (it is split into several files)";

// Where the end record begins in `tail`, the file's last bytes. It is
// looked for from the back, and its comment must reach exactly to the end
// of the file, so a comment holding the record's signature cannot pass for
// it. Nothing when there is none; `misfit` tells whether a signature was
// seen whose comment does not fit.
std::optional<std::size_t> findEndRecord(std::string_view tail, bool& misfit)
{
    misfit = false;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (le32(tail, at) != kEndSignature)
            continue;
        if (at + kEndSize + le16(tail, at + 20) == tail.size())
            return at;
        misfit = true;
    }
    return std::nullopt;
}

struct EndFields {
    std::uint64_t disk = 0;
    std::uint64_t tableDisk = 0;
    std::uint64_t entriesHere = 0;
    ZipEnd end;
    // Where the end records begin: the table must end there.
    std::uint64_t tableEnd = 0;
};

std::string checkFields(const EndFields& fields)
{
    if (fields.disk != 0 || fields.tableDisk != 0)
        return kSplit;
    const ZipEnd& end = fields.end;
    if (fields.entriesHere != end.entryCount || end.tableOffset > fields.tableEnd ||
        fields.tableEnd - end.tableOffset != end.tableSize)
        return kDamaged;
    return {};
}

// The ZIP64 end record the locator at `locatorAt` points at; nothing with
// `error` set when the two do not fit together.
std::optional<EndFields> readZip64End(std::istream& file, std::string_view locator, std::uint64_t locatorAt,
                                      std::string& error)
{
    const std::uint64_t recordAt = le64(locator, 8);
    if (le32(locator, 4) != 0 || le32(locator, 16) > 1) {
        error = kSplit;
        return std::nullopt;
    }
    if (recordAt > locatorAt || locatorAt - recordAt < kZip64EndSize) {
        error = kDamaged;
        return std::nullopt;
    }
    const auto record = bytesAt(file, recordAt, kZip64EndSize);
    if (!record) {
        error = "cannot be read";
        return std::nullopt;
    }
    if (le32(*record, 0) != kZip64EndSignature || le64(*record, 4) != locatorAt - recordAt - kZip64EndLead) {
        error = kDamaged;
        return std::nullopt;
    }
    return EndFields{le32(*record, 16), le32(*record, 20), le64(*record, 24),
                     ZipEnd{le64(*record, 32), le64(*record, 48), le64(*record, 40)}, recordAt};
}

// The fields of the end record at `endAt`, or of the ZIP64 end record when
// a locator lies just before it.
std::optional<EndFields> readFields(std::istream& file, std::string_view record, std::uint64_t endAt,
                                    std::string& error)
{
    if (endAt >= kZip64LocatorSize) {
        const std::uint64_t locatorAt = endAt - kZip64LocatorSize;
        const auto locator = bytesAt(file, locatorAt, kZip64LocatorSize);
        if (!locator) {
            error = "cannot be read";
            return std::nullopt;
        }
        if (le32(*locator, 0) == kZip64LocatorSignature)
            return readZip64End(file, *locator, locatorAt, error);
    }
    return EndFields{le16(record, 4), le16(record, 6), le16(record, 8),
                     ZipEnd{le16(record, 10), le32(record, 16), le32(record, 12)}, endAt};
}

} // namespace

std::optional<ZipEnd> readZipEnd(std::istream& file, std::uint64_t fileSize, std::string& error)
{
    if (fileSize < kEndSize) {
        error = "not a zip archive";
        return std::nullopt;
    }
    const std::uint64_t tailAt = fileSize - std::min<std::uint64_t>(fileSize, kEndSize + kMaxCommentSize);
    const auto tail = bytesAt(file, tailAt, static_cast<std::size_t>(fileSize - tailAt));
    if (!tail) {
        error = "cannot be read";
        return std::nullopt;
    }
    bool misfit = false;
    const std::optional<std::size_t> at = findEndRecord(*tail, misfit);
    if (!at) {
        error = misfit ? kDamaged : "not a zip archive";
        return std::nullopt;
    }
    const std::optional<EndFields> fields =
        readFields(file, std::string_view(*tail).substr(*at, kEndSize), tailAt + *at, error);
    if (!fields)
        return std::nullopt;
    error = checkFields(*fields);
    if (!error.empty())
        return std::nullopt;
    return fields->end;
}
