#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct zip;

// What an archive may hold before it is refused unread. Phone games are a
// few hundred KB with a few hundred entries; these leave room for many
// times that while keeping a hostile file from taking memory or time.
struct JarLimits {
    // Bounds what opening costs: the entry table is read whole.
    std::uintmax_t maxArchiveBytes = 32 * 1024 * 1024;
    std::int64_t maxEntries = 10'000;
    std::uint64_t maxEntryBytes = 16 * 1024 * 1024;
    std::uint64_t maxTotalBytes = 256 * 1024 * 1024;
    // An entry that would inflate more than this many times its packed size
    // (once it is past minRatioCheckBytes) is taken for a zip bomb.
    std::uint64_t maxCompressionRatio = 200;
    std::uint64_t minRatioCheckBytes = 1024 * 1024;
};

// Where an archive keeps its manifest.
inline constexpr std::string_view kManifestEntry = "META-INF/MANIFEST.MF";

// A game archive (.jar) opened read-only. `open` checks the whole entry
// table against the limits and refuses names that could climb out of a
// folder (".." segments, absolute names, drive letters), so that every
// entry of an opened archive has been vetted. Movable, not copyable; the
// file stays open while the object lives.
class JarArchive {
public:
    // The archive, or nothing with `error` saying why in words for the
    // operator, fit to follow "the archive is refused: " ("not a zip
    // archive", "truncated or damaged (...)", "an entry named \"../x\"
    // climbs out of the archive", "it holds 20000 entries, ...").
    [[nodiscard]] static std::optional<JarArchive> open(const std::filesystem::path& file, std::string& error,
                                                        const JarLimits& limits = {});

    JarArchive(JarArchive&&) noexcept;
    JarArchive& operator=(JarArchive&&) noexcept;
    ~JarArchive();

    [[nodiscard]] std::int64_t entryCount() const;
    // Whether an entry has exactly this name ("a/b/C.class"); case-sensitive.
    [[nodiscard]] bool hasEntry(std::string_view name) const;
    // The entry's bytes, inflated, or nothing with `error` set when it is
    // missing, larger than `maxBytes` or cannot be read (damaged, encrypted,
    // a checksum that does not match). Never reads more than `maxBytes` + 1
    // bytes of output, whatever the entry claims.
    [[nodiscard]] std::optional<std::string> readEntry(std::string_view name, std::size_t maxBytes,
                                                       std::string& error) const;

private:
    struct Closer {
        void operator()(zip* archive) const;
    };
    explicit JarArchive(std::unique_ptr<zip, Closer> archive);

    std::unique_ptr<zip, Closer> m_archive;
};
