#include "ArchiveLookup.h"

#include "AsciiText.h"
#include "GameDirectory.h"
#include "Utf8FileName.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> segmentsOf(std::string_view requestPath)
{
    std::vector<std::string_view> segments;
    for (std::size_t start = 1; start <= requestPath.size();) {
        const std::size_t end = std::min(requestPath.find('/', start), requestPath.size());
        segments.push_back(requestPath.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// The entries of the folder at request path `folder` ("" for the game
// directory itself) named `segment` in any letter case: ordinary files
// for the last segment, folders before it. A servable segment begins with
// no dot, so no hidden entry matches it.
void addMatches(std::string_view gameDirectory, const std::string& folder, std::string_view segment, bool last,
                std::vector<std::string>& into)
{
    std::error_code error;
    fs::directory_iterator entries(pathFromUtf8(mapRequestPath(gameDirectory, folder + "/")), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = utf8FromPath(entries->path().filename());
        if (!equalsIgnoringCase(name, segment))
            continue;
        std::error_code statusError;
        const fs::file_status status = entries->status(statusError);
        if (last ? fs::is_regular_file(status) : fs::is_directory(status))
            into.push_back(folder + "/" + name);
    }
}

// Every servable file whose request path equals `requestPath` but for
// letter case, walked down one segment at a time.
std::vector<std::string> filesInAnyCase(std::string_view gameDirectory, std::string_view requestPath)
{
    const std::vector<std::string_view> segments = segmentsOf(requestPath);
    // "//" names the folder itself on disk but no entry in it: such a path is matched as written only.
    if (std::any_of(segments.begin(), segments.end(), [](std::string_view s) { return s.empty(); }))
        return {};
    std::vector<std::string> found{""};
    for (std::size_t i = 0; i < segments.size() && !found.empty(); ++i) {
        std::vector<std::string> deeper;
        for (const std::string& folder : found)
            addMatches(gameDirectory, folder, segments[i], i + 1 == segments.size(), deeper);
        found = std::move(deeper);
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

ArchiveLookup lookUpArchive(std::string_view gameDirectory, const std::string& requestPath)
{
    ArchiveLookup lookup;
    lookup.asNamed = requestPath;
    if (!isServablePath(gameDirectory, requestPath))
        return lookup;
    std::error_code error;
    if (fs::is_regular_file(pathFromUtf8(mapRequestPath(gameDirectory, requestPath)), error)) {
        lookup.kind = ArchiveLookup::Kind::Found;
        lookup.requestPath = requestPath;
        return lookup;
    }
    std::vector<std::string> found = filesInAnyCase(gameDirectory, requestPath);
    if (found.size() == 1) {
        lookup.kind = ArchiveLookup::Kind::OtherCase;
        lookup.requestPath = std::move(found.front());
    } else if (found.size() > 1) {
        lookup.kind = ArchiveLookup::Kind::Several;
        lookup.matches = std::move(found);
    }
    return lookup;
}
