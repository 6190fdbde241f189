#include "JarArchive.h"

#include <zip.h>

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

std::string openError(int code)
{
    switch (code) {
    case ZIP_ER_NOZIP:
        return "not a zip archive";
    case ZIP_ER_INCONS:
        return "truncated or damaged (its entry table does not match its contents)";
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
        return "cannot be read";
    case ZIP_ER_MEMORY:
        return "too large to open";
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        return "cannot be opened (" + text + ")";
    }
    }
}

std::string quoted(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

// Empty when every entry is within the limits; else why the archive is refused.
std::string vetEntries(zip* archive, std::int64_t count, const JarLimits& limits)
{
    if (count > limits.maxEntries)
        return "it holds " + std::to_string(count) + " entries, more than the " + std::to_string(limits.maxEntries) +
               " a game archive may hold";
    std::uint64_t total = 0;
    for (std::int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
            (stat.valid & ZIP_STAT_NAME) == 0)
            return "truncated or damaged (entry " + std::to_string(index + 1) + " cannot be read)";
        const std::string_view name = stat.name;
        if (climbsOut(name))
            return "an entry named " + quoted(name) + " climbs out of the archive";
        if ((stat.valid & ZIP_STAT_SIZE) == 0 || (stat.valid & ZIP_STAT_COMP_SIZE) == 0)
            continue;
        if (stat.size > limits.maxEntryBytes)
            return "the entry " + quoted(name) + " unpacks to " + std::to_string(stat.size) + " bytes, more than " +
                   std::to_string(limits.maxEntryBytes);
        if (stat.size >= limits.minRatioCheckBytes && stat.size / std::max<zip_uint64_t>(stat.comp_size, 1) >
                                                           limits.maxCompressionRatio)
            return "the entry " + quoted(name) + " unpacks to " + std::to_string(stat.size) + " bytes from " +
                   std::to_string(stat.comp_size) + " (a zip bomb)";
        total += stat.size;
        if (total > limits.maxTotalBytes)
            return "its entries unpack to more than " + std::to_string(limits.maxTotalBytes) + " bytes";
    }
    return {};
}

} // namespace

void JarArchive::Closer::operator()(zip* archive) const
{
    zip_discard(archive);
}

JarArchive::JarArchive(std::unique_ptr<zip, Closer> archive)
    : m_archive(std::move(archive))
{
}

JarArchive::JarArchive(JarArchive&&) noexcept = default;
JarArchive& JarArchive::operator=(JarArchive&&) noexcept = default;
JarArchive::~JarArchive() = default;

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

    int code = 0;
    std::unique_ptr<zip, Closer> archive(zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!archive) {
        error = openError(code);
        return std::nullopt;
    }
    const std::int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0) {
        error = "cannot be read";
        return std::nullopt;
    }
    error = vetEntries(archive.get(), count, limits);
    if (!error.empty())
        return std::nullopt;
    return JarArchive(std::move(archive));
}

std::int64_t JarArchive::entryCount() const
{
    return zip_get_num_entries(m_archive.get(), 0);
}

bool JarArchive::hasEntry(std::string_view name) const
{
    return zip_name_locate(m_archive.get(), std::string(name).c_str(), 0) >= 0;
}

std::optional<std::string> JarArchive::readEntry(std::string_view name, std::size_t maxBytes,
                                                 std::string& error) const
{
    const zip_int64_t index = zip_name_locate(m_archive.get(), std::string(name).c_str(), 0);
    if (index < 0) {
        error = "there is no " + quoted(name) + " in the archive";
        return std::nullopt;
    }
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> entry(
        zip_fopen_index(m_archive.get(), static_cast<zip_uint64_t>(index), 0), &zip_fclose);
    if (!entry) {
        error = quoted(name) + " cannot be read (" + zip_strerror(m_archive.get()) + ")";
        return std::nullopt;
    }
    // One byte past the limit tells an entry of exactly maxBytes from a larger one.
    std::string bytes;
    char buffer[16384];
    while (true) {
        const std::size_t room = maxBytes - bytes.size();
        const std::size_t wanted = room < sizeof buffer ? room + 1 : sizeof buffer;
        const zip_int64_t got = zip_fread(entry.get(), buffer, wanted);
        if (got < 0) {
            error = quoted(name) + " cannot be read (" + zip_file_strerror(entry.get()) + ")";
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) {
            error = quoted(name) + " is larger than " + std::to_string(maxBytes) + " bytes";
            return std::nullopt;
        }
    }
    return bytes;
}
