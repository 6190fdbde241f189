#include "GameFolder.h"

#include "GameAttributes.h"
#include "MimeType.h"
#include "WebText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

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

// The archive a descriptor names, when it names one beside itself (or below):
// "game.jar", "My%20Game.jar", "jars/game.jar". Absolute addresses and
// anything that climbs out are not followed.
std::optional<std::string> localArchive(std::string_view jarUrl)
{
    const std::string_view path = jarUrl.substr(0, jarUrl.find_first_of("?#"));
    if (path.empty() || path.front() == '/' || path.find(':') != std::string_view::npos)
        return std::nullopt;
    std::string decoded = decodeUrlPath(path);
    for (std::size_t start = 0; start < decoded.size();) {
        const std::size_t end = std::min(decoded.find('/', start), decoded.size());
        if (end == start || decoded[start] == '.' || decoded.find('\0') != std::string::npos)
            return std::nullopt;
        start = end + 1;
    }
    return decoded;
}

std::optional<std::uintmax_t> parseSize(std::string_view text)
{
    std::uintmax_t size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty() ? std::optional(size)
                                                                                      : std::nullopt;
}

void takeAttributes(GameEntry& entry, const AttributeList& attributes)
{
    entry.name = attributes.value("MIDlet-Name").value_or("");
    entry.version = attributes.value("MIDlet-Version").value_or("");
    entry.vendor = attributes.value("MIDlet-Vendor").value_or("");
}

GameEntry descriptorEntry(const fs::path& folder, const std::string& fileName, std::set<std::string>& namedArchives)
{
    GameEntry entry{fileName, {}, {}, {}, {}};
    const std::optional<AttributeList> attributes = readDescriptorAttributes(folder / fileName);
    if (!attributes)
        return entry;
    takeAttributes(entry, *attributes);
    const std::optional<std::string> archive = localArchive(attributes->value("MIDlet-Jar-URL").value_or(""));
    if (archive) {
        namedArchives.insert(*archive);
        entry.archiveSize = fileSize(folder / *archive);
    }
    // An archive elsewhere has the size the descriptor announces.
    if (!entry.archiveSize)
        entry.archiveSize = parseSize(attributes->value("MIDlet-Jar-Size").value_or(""));
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
    return lowerCase(entry.name.empty() ? entry.linkName : entry.name);
}

} // namespace

std::string madeDescriptorName(const std::string& archiveName)
{
    return stem(archiveName) + ".jad";
}

GameFolder readGameFolder(const fs::path& folder)
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
            listing.games.push_back(descriptorEntry(folder, name, namedArchives));
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
