#include "GameFolder.h"

#include "AsciiText.h"
#include "ByteCount.h"
#include "GameAttributes.h"
#include "GameDirectory.h"
#include "JarArchive.h"
#include "JarUrl.h"
#include "ManifestReader.h"
#include "MimeType.h"
#include "WebText.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

std::string stem(const std::string& name)
{
    return name.substr(0, name.size() - 4);
}

struct FolderNames {
    std::vector<std::string> folders;
    std::vector<std::string> descriptors;
    std::vector<std::string> archives;
    bool cut = false;
};

FolderNames readNames(const fs::path& folder, std::size_t maxEntries)
{
    FolderNames names;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    std::size_t seen = 0;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (++seen > maxEntries) {
            names.cut = true;
            break;
        }
        std::string name = entries->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        // Links are followed, as when a file is served.
        std::error_code statusError;
        const fs::file_status status = entries->status(statusError);
        if (fs::is_directory(status))
            names.folders.push_back(std::move(name));
        else if (fs::is_regular_file(status) && GetMimeType(name) == kDescriptorType)
            names.descriptors.push_back(std::move(name));
        else if (fs::is_regular_file(status) && GetMimeType(name) == kArchiveType)
            names.archives.push_back(std::move(name));
    }
    for (auto* list : {&names.folders, &names.descriptors, &names.archives})
        std::sort(list->begin(), list->end());
    return names;
}

// The archive a descriptor names in its own folder or below, as a phone
// resolves the address ("game.jar", "My%20Game.jar", "jars/game.jar"): its
// name relative to the folder. Addresses elsewhere and anything that climbs
// out or is hidden are not followed.
std::optional<std::string> archiveInFolder(std::string_view jarUrl, const std::string& folderPath,
                                           const std::string& descriptorName)
{
    const JarLocation location = resolveJarUrl(jarUrl, folderPath + descriptorName, {});
    if (location.kind != JarLocation::Kind::Here)
        return std::nullopt;
    const std::string path = decodeUrlPath(location.requestPath);
    if (!path.starts_with(folderPath) || path.size() == folderPath.size() || !isServablePath(folderPath, path))
        return std::nullopt;
    return path.substr(folderPath.size());
}

// The text cut to kMaxShownBytes, at the start of a UTF-8 sequence.
std::string shownText(std::string_view text)
{
    if (text.size() <= kMaxShownBytes)
        return std::string(text);
    std::size_t cut = kMaxShownBytes - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "...";
}

void takeAttributes(GameEntry& entry, const AttributeList& attributes)
{
    entry.name = shownText(attributes.value("MIDlet-Name").value_or(""));
    entry.version = shownText(attributes.value("MIDlet-Version").value_or(""));
    entry.vendor = shownText(attributes.value("MIDlet-Vendor").value_or(""));
    entry.profile = shownText(attributes.value("MicroEdition-Profile").value_or(""));
}

// What only the archive tells: its manifest where the descriptor is silent, and the icon.
void takeFromArchive(GameEntry& entry, const fs::path& archive, const AttributeList* descriptor,
                     const FolderReading& how)
{
    std::string error;
    const std::optional<JarArchive> jar = JarArchive::open(archive, error);
    if (!jar)
        return;
    const std::optional<std::string> text = jar->readEntry(kManifestEntry, kMaxManifestBytes, error);
    const AttributeList manifest = text ? readManifest(*text).attributes : AttributeList{};
    if (!descriptor)
        takeAttributes(entry, manifest);
    else if (entry.profile.empty())
        entry.profile = shownText(manifest.value("MicroEdition-Profile").value_or(""));

    std::optional<std::string> iconName = descriptor ? iconEntryName(*descriptor) : std::nullopt;
    if (!iconName)
        iconName = iconEntryName(manifest);
    if (!iconName || !how.keepIcon)
        return;
    if (const std::optional<GameIcon> icon = readGameIcon(*jar, *iconName)) {
        entry.iconId = how.keepIcon(*icon);
        if (!entry.iconId.empty()) {
            entry.iconWidth = icon->width;
            entry.iconHeight = icon->height;
        }
    }
}

GameEntry descriptorEntry(const fs::path& folder, const std::string& folderPath, const std::string& fileName,
                          const FolderReading& how)
{
    GameEntry entry;
    entry.linkName = fileName;
    entry.descriptorStamp = fileStamp(folder / fileName);
    const std::optional<AttributeList> attributes = readDescriptorAttributes(folder / fileName);
    if (!attributes)
        return entry;
    takeAttributes(entry, *attributes);
    const std::optional<std::string> archive =
        archiveInFolder(attributes->value("MIDlet-Jar-URL").value_or(""), folderPath, fileName);
    if (archive) {
        entry.archiveName = *archive;
        entry.archiveStamp = fileStamp(folder / *archive);
        if (entry.archiveStamp) {
            entry.archiveSize = entry.archiveStamp->size;
            takeFromArchive(entry, folder / *archive, &*attributes, how);
        }
    }
    // An archive elsewhere has the size the descriptor announces.
    if (!entry.archiveSize)
        entry.archiveSize = parseByteCount(attributes->value("MIDlet-Jar-Size").value_or(""));
    return entry;
}

GameEntry archiveEntry(const fs::path& folder, const std::string& fileName, const FolderReading& how)
{
    GameEntry entry;
    entry.linkName = madeDescriptorName(fileName);
    entry.archiveName = fileName;
    entry.archiveStamp = fileStamp(folder / fileName);
    if (entry.archiveStamp) {
        entry.archiveSize = entry.archiveStamp->size;
        takeFromArchive(entry, folder / fileName, nullptr, how);
    }
    return entry;
}

// Entries of the earlier reading, by the file they link.
class EarlierEntries {
public:
    explicit EarlierEntries(const GameFolder* previous)
    {
        if (previous) {
            for (const GameEntry& entry : previous->games)
                m_byLink.emplace(entry.linkName, &entry);
        }
    }

    // The earlier entry for the file, when neither it nor its archive changed.
    const GameEntry* unchanged(const fs::path& folder, const std::string& linkName, bool fromDescriptor) const
    {
        const auto found = m_byLink.find(linkName);
        if (found == m_byLink.end())
            return nullptr;
        const GameEntry& entry = *found->second;
        if (entry.descriptorStamp.has_value() != fromDescriptor ||
            (fromDescriptor && entry.descriptorStamp != fileStamp(folder / linkName)))
            return nullptr;
        if (!entry.archiveName.empty() && entry.archiveStamp != fileStamp(folder / entry.archiveName))
            return nullptr;
        return &entry;
    }

private:
    std::unordered_map<std::string, const GameEntry*> m_byLink;
};

void sortByShownName(std::vector<GameEntry>& games)
{
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(games.size());
    for (std::size_t i = 0; i < games.size(); ++i)
        keys.emplace_back(asciiLowerCase(shownName(games[i])), i);
    std::sort(keys.begin(), keys.end(), [&games](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : games[a.second].linkName < games[b.second].linkName;
    });
    std::vector<GameEntry> sorted;
    sorted.reserve(games.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(games[key.second]));
    games = std::move(sorted);
}

} // namespace

std::string madeDescriptorName(const std::string& archiveName)
{
    return stem(archiveName) + ".jad";
}

const std::string& shownName(const GameEntry& game)
{
    return game.name.empty() ? game.linkName : game.name;
}

GameFolder readGameFolder(const fs::path& folder, const std::string& folderPath, const FolderReading& how)
{
    FolderNames names = readNames(folder, how.maxEntries);
    const EarlierEntries earlier(how.previous);
    const auto abandoned = [&how] { return how.abandoned && how.abandoned(); };
    GameFolder listing;
    listing.cut = names.cut;
    listing.folders = std::move(names.folders);

    std::set<std::string> namedArchives;
    std::set<std::string> descriptorStems;
    for (const std::string& name : names.descriptors) {
        if (abandoned())
            return listing;
        descriptorStems.insert(stem(name));
        const GameEntry* same = earlier.unchanged(folder, name, true);
        listing.games.push_back(same ? *same : descriptorEntry(folder, folderPath, name, how));
        if (!listing.games.back().archiveName.empty())
            namedArchives.insert(listing.games.back().archiveName);
    }
    for (const std::string& name : names.archives) {
        if (abandoned())
            return listing;
        if (namedArchives.contains(name) || descriptorStems.contains(stem(name)))
            continue;
        const GameEntry* same = earlier.unchanged(folder, madeDescriptorName(name), false);
        listing.games.push_back(same && same->archiveName == name ? *same : archiveEntry(folder, name, how));
    }
    sortByShownName(listing.games);
    return listing;
}
