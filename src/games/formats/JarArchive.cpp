#include "JarArchive.h"

#include "ZipEnd.h"
#include "ZipEntryReading.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

// A name that, unpacked, would land outside the folder it is unpacked in.
bool climbsOut(std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return true;
    if (name.size() >= 2 && name[1] == ':')
        return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

std::string inQuotes(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

std::string vetEntryCount(std::uint64_t count, const JarLimits& limits)
{
    if (limits.maxEntries >= 0 && count <= static_cast<std::uint64_t>(limits.maxEntries))
        return {};
    return "it holds " + std::to_string(count) + " entries, more than the " + std::to_string(limits.maxEntries) +
           " a game archive may hold";
}

// Empty when every entry is within the limits; else why the archive is refused.
std::string vetEntries(const std::vector<ZipEntry>& entries, const JarLimits& limits)
{
    std::uint64_t total = 0;
    for (const ZipEntry& entry : entries) {
        if (climbsOut(entry.name))
            return "an entry named " + inQuotes(entry.name) + " climbs out of the archive";
        if (entry.size > limits.maxEntryBytes)
            return "the entry " + inQuotes(entry.name) + " unpacks to " + std::to_string(entry.size) +
                   " bytes, more than " + std::to_string(limits.maxEntryBytes);
        if (entry.size >= limits.minRatioCheckBytes &&
            entry.size / std::max<std::uint64_t>(entry.packedSize, 1) > limits.maxCompressionRatio)
            return "the entry " + inQuotes(entry.name) + " unpacks to " + std::to_string(entry.size) + " bytes from " +
                   std::to_string(entry.packedSize) + " (a zip bomb)";
        total += entry.size;
        if (total > limits.maxTotalBytes)
            return "its entries unpack to more than " + std::to_string(limits.maxTotalBytes) + " bytes";
    }
    return {};
}

bool byName(const ZipEntry& a, const ZipEntry& b)
{
    return a.name < b.name;
}

// Sorts the entries by name; refuses a name held twice, which readers of
// the archive could take either of.
std::string sortEntries(std::vector<ZipEntry>& entries)
{
    std::sort(entries.begin(), entries.end(), byName);
    const auto twice = std::adjacent_find(entries.begin(), entries.end(),
                                          [](const ZipEntry& a, const ZipEntry& b) { return a.name == b.name; });
    if (twice != entries.end())
        return "it holds two entries named " + inQuotes(twice->name);
    return {};
}

} // namespace

JarArchive::JarArchive(std::ifstream file, std::vector<ZipEntry> entries, std::uint64_t dataEnd)
    : m_file(std::move(file))
    , m_entries(std::move(entries))
    , m_dataEnd(dataEnd)
{
}

std::optional<JarArchive> JarArchive::open(const std::filesystem::path& file, std::string& error,
                                           const JarLimits& limits)
{
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(file, sizeError);
    if (sizeError) {
        error = "cannot be read (" + sizeError.message() + ")";
        return std::nullopt;
    }
    if (size > limits.maxArchiveBytes) {
        error = "it is " + std::to_string(size) + " bytes, more than the " + std::to_string(limits.maxArchiveBytes) +
                " a game archive may be";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot be read";
        return std::nullopt;
    }
    const std::optional<ZipEnd> end = readZipEnd(in, size, error);
    if (!end)
        return std::nullopt;
    // Counted before the table is read, so a claimed count costs nothing.
    error = vetEntryCount(end->entryCount, limits);
    if (!error.empty())
        return std::nullopt;
    std::optional<std::vector<ZipEntry>> entries = readZipEntries(in, *end, error);
    if (!entries)
        return std::nullopt;
    error = vetEntries(*entries, limits);
    if (error.empty())
        error = sortEntries(*entries);
    if (!error.empty())
        return std::nullopt;
    return JarArchive(std::move(in), std::move(*entries), end->tableOffset);
}

std::int64_t JarArchive::entryCount() const
{
    return static_cast<std::int64_t>(m_entries.size());
}

std::vector<std::string_view> JarArchive::entryNames() const
{
    std::vector<std::string_view> names;
    names.reserve(m_entries.size());
    for (const ZipEntry& entry : m_entries)
        names.push_back(entry.name);
    return names;
}

const ZipEntry* JarArchive::find(std::string_view name) const
{
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), name,
                                        [](const ZipEntry& entry, std::string_view key) { return entry.name < key; });
    return found != m_entries.end() && found->name == name ? &*found : nullptr;
}

bool JarArchive::hasEntry(std::string_view name) const
{
    return find(name) != nullptr;
}

std::optional<std::string> JarArchive::readEntry(std::string_view name, std::size_t maxBytes,
                                                 std::string& error) const
{
    const ZipEntry* entry = find(name);
    if (!entry) {
        error = "there is no " + inQuotes(name) + " in the archive";
        return std::nullopt;
    }
    return readZipEntry(m_file, *entry, m_dataEnd, maxBytes, error);
}
