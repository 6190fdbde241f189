#include "ArchiveLookup.h"

#include "AsciiText.h"
#include "GameDirectory.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Past this many entries a folder is not searched for other spellings.
constexpr std::size_t kMaxEntriesSearched = 50'000;

bool isServedFile(std::string_view gameDirectory, const std::string& requestPath)
{
    std::error_code error;
    return isServablePath(gameDirectory, requestPath) &&
        fs::is_regular_file(mapRequestPath(gameDirectory, requestPath), error);
}

} // namespace

ArchiveLookup lookUpArchive(std::string_view gameDirectory, const std::string& requestPath)
{
    ArchiveLookup lookup;
    lookup.asNamed = requestPath;
    if (isServedFile(gameDirectory, requestPath)) {
        lookup.kind = ArchiveLookup::Kind::Found;
        lookup.requestPath = requestPath;
        return lookup;
    }
    const std::size_t slash = requestPath.rfind('/');
    if (slash == std::string::npos || !isServablePath(gameDirectory, requestPath))
        return lookup;
    const std::string folderPath = requestPath.substr(0, slash + 1);
    const std::string_view name = std::string_view(requestPath).substr(slash + 1);
    std::error_code error;
    fs::directory_iterator entries(mapRequestPath(gameDirectory, folderPath), error);
    std::size_t seen = 0;
    for (; !error && entries != fs::directory_iterator() && ++seen <= kMaxEntriesSearched; entries.increment(error)) {
        const std::string entry = entries->path().filename().string();
        if (entry != name && equalsIgnoringCase(entry, name) && isServedFile(gameDirectory, folderPath + entry))
            lookup.matches.push_back(folderPath + entry);
    }
    if (lookup.matches.size() == 1) {
        lookup.kind = ArchiveLookup::Kind::OtherCase;
        lookup.requestPath = std::move(lookup.matches.front());
        lookup.matches.clear();
    } else if (lookup.matches.size() > 1) {
        lookup.kind = ArchiveLookup::Kind::Several;
        std::sort(lookup.matches.begin(), lookup.matches.end());
    }
    return lookup;
}
