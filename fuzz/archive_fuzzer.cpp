// The archive reader on any file: opening it either refuses it in words or
// vets every entry, and reading any entry either gives at most the bytes
// asked for or says why not, whatever the entry table claims.
//
// Input: the archive's bytes.

#include "JarArchive.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "archive_fuzzer: %s\n", what);
        std::abort();
    }
}

const fs::path& archiveFile()
{
    static const fs::path made = [] {
        fs::path folder = fs::temp_directory_path() / ("tarnwick-archive-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        return folder / "game.jar";
    }();
    return made;
}

// Small, so that the limits are reached by inputs of a few kilobytes.
JarLimits smallLimits()
{
    JarLimits limits;
    limits.maxArchiveBytes = 256 * 1024;
    limits.maxEntries = 64;
    limits.maxEntryBytes = 64 * 1024;
    limits.maxTotalBytes = 256 * 1024;
    limits.minRatioCheckBytes = 4 * 1024;
    return limits;
}

constexpr std::size_t kMaxRead = 16 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(archiveFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        require(static_cast<bool>(out), "cannot write the archive");
    }
    std::string error;
    const auto archive = JarArchive::open(archiveFile(), error, smallLimits());
    if (!archive) {
        require(!error.empty(), "refused without a reason");
        return 0;
    }
    require(archive->entryCount() <= smallLimits().maxEntries, "more entries than the limit");
    for (const std::string_view name : archive->entryNames()) {
        require(archive->hasEntry(name), "a listed entry is not found");
        error.clear();
        const auto bytes = archive->readEntry(name, kMaxRead, error);
        require(bytes ? bytes->size() <= kMaxRead : !error.empty(), "an entry read past the limit or failed silently");
    }
    return 0;
}
