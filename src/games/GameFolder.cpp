#include "GameFolder.h"

#include "AsciiText.h"
#include "ByteCount.h"
#include "GameAttributes.h"
#include "GameDirectory.h"
#include "JarUrl.h"
#include "MimeType.h"
#include "WebText.h"

#include <algorithm>
#include <set>

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

FolderNames readNames(const fs::path& folder)
{
    FolderNames names;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    std::size_t seen = 0;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (++seen > kMaxFolderEntries) {
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

std::optional<std::uintmax_t> fileSize(const fs::path& file)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    return error ? std::nullopt : std::optional(size);
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

void takeAttributes(GameEntry& entry, const AttributeList& attributes)
{
    entry.name = attributes.value("MIDlet-Name").value_or("");
    entry.version = attributes.value("MIDlet-Version").value_or("");
    entry.vendor = attributes.value("MIDlet-Vendor").value_or("");
}

GameEntry descriptorEntry(const fs::path& folder, const std::string& folderPath, const std::string& fileName,
                          std::set<std::string>& namedArchives)
{
    GameEntry entry{fileName, {}, {}, {}, {}};
    const std::optional<AttributeList> attributes = readDescriptorAttributes(folder / fileName);
    if (!attributes)
        return entry;
    takeAttributes(entry, *attributes);
    const std::optional<std::string> archive =
        archiveInFolder(attributes->value("MIDlet-Jar-URL").value_or(""), folderPath, fileName);
    if (archive) {
        namedArchives.insert(*archive);
        entry.archiveSize = fileSize(folder / *archive);
    }
    // An archive elsewhere has the size the descriptor announces.
    if (!entry.archiveSize)
        entry.archiveSize = parseByteCount(attributes->value("MIDlet-Jar-Size").value_or(""));
    return entry;
}

GameEntry archiveEntry(const fs::path& folder, const std::string& fileName)
{
    GameEntry entry{madeDescriptorName(fileName), {}, {}, {}, fileSize(folder / fileName)};
    std::string ignored;
    if (const std::optional<AttributeList> manifest = readManifestAttributes(folder / fileName, ignored))
        takeAttributes(entry, *manifest);
    return entry;
}

std::string shownName(const GameEntry& entry)
{
    return asciiLowerCase(entry.name.empty() ? entry.linkName : entry.name);
}

} // namespace

std::string madeDescriptorName(const std::string& archiveName)
{
    return stem(archiveName) + ".jad";
}

GameFolder readGameFolder(const fs::path& folder, const std::string& folderPath)
{
    FolderNames names = readNames(folder);
    GameFolder listing;
    listing.cut = names.cut;
    std::size_t budget = kMaxListedEntries;
    const auto take = [&]() {
        if (budget == 0) {
            listing.cut = true;
            return false;
        }
        --budget;
        return true;
    };

    for (std::string& name : names.folders) {
        if (take())
            listing.folders.push_back(std::move(name));
    }
    std::set<std::string> namedArchives;
    std::set<std::string> descriptorStems;
    for (const std::string& name : names.descriptors) {
        descriptorStems.insert(stem(name));
        if (take())
            listing.games.push_back(descriptorEntry(folder, folderPath, name, namedArchives));
    }
    for (const std::string& name : names.archives) {
        if (namedArchives.contains(name) || descriptorStems.contains(stem(name)))
            continue;
        if (take())
            listing.games.push_back(archiveEntry(folder, name));
    }
    std::stable_sort(listing.games.begin(), listing.games.end(),
                     [](const GameEntry& a, const GameEntry& b) { return shownName(a) < shownName(b); });
    return listing;
}
