#pragma once

#include "AttributeReading.h"
#include "FileStamp.h"
#include "GameIcon.h"
#include "JarArchive.h"
#include "SuiteSignature.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Opens an archive; a test counts the openings through it.
using ArchiveOpener =
    std::function<std::optional<JarArchive>(const std::filesystem::path&, std::string& error, const JarLimits&)>;

// What a game's archive file holds that the games ever ask for, read in one
// opening: the manifest, whether the classes the game names are there, and
// the icon.
struct ArchiveReading {
    std::string requestPath;
    std::string file;
    FileStamp stamp;
    // Why the archive was refused unread ("not a zip archive"); empty when it opened.
    std::string refused;
    // The manifest read, or why it could not be ("there is no
    // \"META-INF/MANIFEST.MF\" in the archive").
    std::optional<AttributeReading> manifest;
    std::string manifestError;
    bool hasManifestEntry = false;
    // The entries asked about ("a/b/Game.class"), and whether the archive has each.
    std::map<std::string, bool, std::less<>> entries;
    std::shared_ptr<const GameIcon> icon;
    // The whole file's digest, read when a descriptor asking is signed.
    std::optional<ArchiveDigest> digest;

    [[nodiscard]] bool opened() const { return refused.empty(); }
    // The manifest's attributes; empty when it was not read.
    [[nodiscard]] const AttributeList& manifestAttributes() const;
    // Whether the archive has the entry; nothing when it was not asked about.
    [[nodiscard]] std::optional<bool> hasEntry(std::string_view name) const;
};

// What to ask the archive of a game whose descriptor says `descriptors`
// (one or more readings of it): the classes its MIDlet-<n> lines name,
// there and in the manifest, and the icon it names there, else in the
// manifest.
struct ArchiveQuestions {
    std::vector<const AttributeList*> descriptors;
};

// Reads the archive at `file`, served at `requestPath`, whose stamp is
// `stamp`.
[[nodiscard]] ArchiveReading readArchive(const std::string& file, const std::string& requestPath, const FileStamp& stamp,
                                         const ArchiveQuestions& questions, const ArchiveOpener& open);

// The class entry a MIDlet-<n> value names ("Name, /icon.png, a.b.Game"
// gives "a/b/Game.class"), or nothing when it names no class.
[[nodiscard]] std::optional<std::string> midletClassEntry(std::string_view value);

// More numbered MIDlets than any game has; it bounds the walk through them.
inline constexpr int kMaxMidlets = 1000;
