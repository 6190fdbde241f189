#pragma once

#include "JarLimits.h"
#include "ZipEntries.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where an archive keeps its manifest.
inline constexpr std::string_view kManifestEntry = "META-INF/MANIFEST.MF";

// A game archive (.jar) opened read-only. `open` reads the whole entry
// table, checks it against the limits and refuses names that could climb
// out of a folder (".." segments, absolute names, drive letters) and names
// held twice, so that every entry of an opened archive has been vetted.
// Movable, not copyable; the file stays open while the object lives, and
// one thread at a time reads it.
class JarArchive {
public:
    // The archive, or nothing with `error` saying why in words for the
    // operator, fit to follow "the archive is refused: " ("not a zip
    // archive", "truncated or damaged (...)", "an entry named \"../x\"
    // climbs out of the archive", "it holds 20000 entries, ...").
    [[nodiscard]] static std::optional<JarArchive> open(const std::filesystem::path& file, std::string& error,
                                                        const JarLimits& limits = {});

    [[nodiscard]] std::int64_t entryCount() const;
    // Every entry's name, in byte order.
    [[nodiscard]] std::vector<std::string_view> entryNames() const;
    // Whether an entry has exactly this name ("a/b/C.class"); case-sensitive.
    [[nodiscard]] bool hasEntry(std::string_view name) const;
    // The entry's bytes, inflated, or nothing with `error` set when it is
    // missing, larger than `maxBytes` or cannot be read (damaged, encrypted,
    // a checksum that does not match). Never reads more than `maxBytes` + 1
    // bytes of output, whatever the entry claims.
    [[nodiscard]] std::optional<std::string> readEntry(std::string_view name, std::size_t maxBytes,
                                                       std::string& error) const;

private:
    JarArchive(std::ifstream file, std::vector<ZipEntry> entries, std::uint64_t dataEnd);

    [[nodiscard]] const ZipEntry* find(std::string_view name) const;

    // Reading moves the file's position, which is no part of the archive's state.
    mutable std::ifstream m_file;
    // In byte order of their names, for finding them.
    std::vector<ZipEntry> m_entries;
    // Where the entry table begins: no entry's bytes lie past it.
    std::uint64_t m_dataEnd = 0;
};
