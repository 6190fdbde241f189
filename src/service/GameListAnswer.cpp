#include "GameListAnswer.h"

#include "GameDirectory.h"
#include "GameAttributes.h"
#include "GameFolder.h"
#include "GameListPage.h"
#include "MadeDescriptor.h"
#include "MimeType.h"
#include "Response.h"
#include "WebText.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The folder's path for the links of its page: "//a//b" would be read by a
// browser as the address of a host named "a", so runs of "/" become one.
std::string folderPathOf(std::string_view path)
{
    std::string folder;
    for (const char c : path) {
        if (c != '/' || folder.empty() || folder.back() != '/')
            folder += c;
    }
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

GameListAnswer serveFile(std::string path)
{
    GameListAnswer answer;
    answer.path = std::move(path);
    return answer;
}

GameListAnswer answered(std::string_view statusLine, std::string_view mimeType, std::string body,
                        std::vector<std::string> logLines)
{
    GameListAnswer answer;
    answer.kind = GameListAnswer::Kind::Answered;
    answer.statusLine = statusLine;
    answer.mimeType = mimeType;
    answer.body = std::move(body);
    answer.logLines = std::move(logLines);
    return answer;
}

GameListAnswer answerFolder(std::string_view virtualDir, const std::string& path, const std::string& mapped)
{
    const std::string folderPath = folderPathOf(path);
    const std::string index = folderPath + "index.html";
    std::error_code error;
    if (fs::is_regular_file(mapRequestPath(virtualDir, index), error))
        return serveFile(index);
    return answered(status::kOk, "text/html", buildGameListPage(folderPath, readGameFolder(mapped, folderPath)), {mapped});
}

// The archive beside a descriptor that is not there, by the same name.
std::optional<fs::path> loneArchive(const std::string& mappedDescriptor)
{
    const std::string stem = mappedDescriptor.substr(0, mappedDescriptor.size() - 4);
    for (const char* extension : {".jar", ".JAR"}) {
        std::error_code error;
        if (fs::is_regular_file(stem + extension, error))
            return fs::path(stem + extension);
    }
    return std::nullopt;
}

GameListAnswer answerMadeDescriptor(const std::string& mapped, const fs::path& archive)
{
    std::string why;
    std::error_code error;
    const std::uintmax_t size = fs::file_size(archive, error);
    const std::optional<AttributeList> manifest = error ? std::nullopt : readManifestAttributes(archive, why);
    const std::string archiveName = archive.filename().string();
    if (!manifest) {
        const std::string reason = error ? error.message() : why;
        return answered(status::kNotFound, "text/html", BuildErrorPage(kNotFoundMessage),
                        {mapped, std::string(kNotFoundMessage) + " No descriptor could be made for " + archiveName +
                                     ": " + reason + "."});
    }
    return answered(status::kOk, kDescriptorType, makeDescriptor(*manifest, archiveName, size), {mapped});
}

} // namespace

GameListAnswer answerWithGameList(std::string_view virtualDir, std::string_view requestPath)
{
    std::string path = decodeUrlPath(requestPath);
    if (!isServablePath(virtualDir, path))
        return serveFile(std::move(path));
    const std::string mapped = mapRequestPath(virtualDir, path);
    std::error_code error;
    if (fs::is_directory(mapped, error))
        return answerFolder(virtualDir, path, mapped);
    if (GetMimeType(path) == kDescriptorType && !fs::exists(mapped, error)) {
        if (const std::optional<fs::path> archive = loneArchive(mapped))
            return answerMadeDescriptor(mapped, *archive);
    }
    return serveFile(std::move(path));
}
