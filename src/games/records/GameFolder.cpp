#include "GameFolder.h"

#include "AsciiText.h"
#include "ByteCount.h"
#include "GameDirectory.h"
#include "GameRecords.h"
#include "JarUrl.h"
#include "MimeType.h"
#include "Utf8FileName.h"
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
        std::string name = utf8FromPath(entries->path().filename());
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
// resolves the address ("game.jar", "My%20Game.jar", "jars/game.jar", or
// in other letters than on disk), as a request path. Addresses elsewhere
// and anything that climbs out or is hidden are not followed.
std::optional<std::string> archiveInFolder(const GameRecord& record, const std::string& folderPath)
{
    const JarLocation location = resolveJarUrl(record.listed.value("MIDlet-Jar-URL").value_or(""),
                                               record.descriptorPath, {});
    if (location.kind != JarLocation::Kind::Here)
        return std::nullopt;
    const std::string path = servedPath(record, location.requestPath);
    if (!path.starts_with(folderPath) || path.size() == folderPath.size() || !isServablePath(folderPath, path))
        return std::nullopt;
    const ArchiveLookup* lookup = record.lookup(path);
    return lookup && !lookup->requestPath.empty() ? lookup->requestPath : path;
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
void takeFromArchive(GameEntry& entry, const ArchiveReading& archive, const AttributeList* descriptor,
                     const FolderReading& how)
{
    if (!archive.opened())
        return;
    const AttributeList& manifest = archive.manifestAttributes();
    if (!descriptor)
        takeAttributes(entry, manifest);
    else if (entry.profile.empty())
        entry.profile = shownText(manifest.value("MicroEdition-Profile").value_or(""));
    if (!archive.icon || !how.keepIcon)
        return;
    entry.iconId = how.keepIcon(*archive.icon);
    if (!entry.iconId.empty()) {
        entry.iconWidth = archive.icon->width;
        entry.iconHeight = archive.icon->height;
    }
}

std::shared_ptr<const GameRecord> descriptorRecord(const std::string& gameDirectory, const std::string& descriptorPath,
                                                   const FolderReading& how)
{
    if (how.records)
        return how.records->descriptor(gameDirectory, true, descriptorPath);
    return readGameRecord({gameDirectory, true}, descriptorPath);
}

std::shared_ptr<const GameRecord> loneArchiveRecord(const std::string& gameDirectory, const std::string& descriptorPath,
                                                    const std::string& archivePath, const FolderReading& how)
{
    if (how.records)
        return how.records->loneArchive(gameDirectory, true, descriptorPath, archivePath);
    return readLoneArchiveRecord({gameDirectory, true}, descriptorPath, archivePath);
}

// The archive's request path relative to the folder.
std::string inFolder(const std::string& requestPath, const std::string& folderPath)
{
    return requestPath.substr(folderPath.size());
}

GameEntry descriptorEntry(const std::string& gameDirectory, const std::string& folderPath, const std::string& fileName,
                          const FolderReading& how)
{
    GameEntry entry;
    entry.linkName = fileName;
    const std::shared_ptr<const GameRecord> record = descriptorRecord(gameDirectory, folderPath + fileName, how);
    entry.descriptorStamp = record->descriptorStamp;
    if (record->text == GameRecord::Text::Unreadable)
        return entry;
    const AttributeList& attributes = record->listed;
    takeAttributes(entry, attributes);
    if (const std::optional<std::string> archive = archiveInFolder(*record, folderPath)) {
        entry.archiveName = inFolder(*archive, folderPath);
        const ArchiveReading* reading = record->archive(*archive);
        entry.archiveStamp = reading ? std::optional(reading->stamp) : std::nullopt;
        if (reading) {
            entry.archiveSize = reading->stamp.size;
            takeFromArchive(entry, *reading, &attributes, how);
        }
    }
    // An archive elsewhere has the size the descriptor announces.
    if (!entry.archiveSize)
        entry.archiveSize = parseByteCount(attributes.value("MIDlet-Jar-Size").value_or(""));
    return entry;
}

GameEntry archiveEntry(const std::string& gameDirectory, const std::string& folderPath, const std::string& fileName,
                       const FolderReading& how)
{
    GameEntry entry;
    entry.linkName = madeDescriptorName(fileName);
    entry.archiveName = fileName;
    const std::shared_ptr<const GameRecord> record =
        loneArchiveRecord(gameDirectory, folderPath + entry.linkName, folderPath + fileName, how);
    if (const ArchiveReading* reading = record->archive(folderPath + fileName)) {
        entry.archiveStamp = reading->stamp;
        entry.archiveSize = reading->stamp.size;
        takeFromArchive(entry, *reading, nullptr, how);
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
            (fromDescriptor && entry.descriptorStamp != fileStamp(folder / pathFromUtf8(linkName))))
            return nullptr;
        if (!entry.archiveName.empty() && entry.archiveStamp != fileStamp(folder / pathFromUtf8(entry.archiveName)))
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

GameFolder readGameFolder(const std::string& gameDirectory, const std::string& folderPath, const FolderReading& how)
{
    const fs::path folder = pathFromUtf8(mapRequestPath(gameDirectory, folderPath));
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
        listing.games.push_back(same ? *same : descriptorEntry(gameDirectory, folderPath, name, how));
        if (!listing.games.back().archiveName.empty())
            namedArchives.insert(listing.games.back().archiveName);
    }
    for (const std::string& name : names.archives) {
        if (abandoned())
            return listing;
        if (namedArchives.contains(name) || descriptorStems.contains(stem(name)))
            continue;
        const GameEntry* same = earlier.unchanged(folder, madeDescriptorName(name), false);
        listing.games.push_back(same && same->archiveName == name ? *same
                                                                 : archiveEntry(gameDirectory, folderPath, name, how));
    }
    sortByShownName(listing.games);
    return listing;
}
