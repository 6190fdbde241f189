#include "GameListService.h"

#include "GameDirectory.h"
#include "GameFolder.h"
#include "GameListPage.h"
#include "IconAddress.h"
#include "MimeType.h"
#include "PhoneIdentity.h"
#include "PlatformFit.h"
#include "Response.h"
#include "Utf8FileName.h"
#include "WebText.h"

#include <algorithm>
#include <charconv>
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

// The page a query asks for ("page=3" gives 2), the first for anything else.
std::size_t pageOf(std::string_view query)
{
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string_view parameter = query.substr(start, end - start);
        if (parameter.starts_with("page=")) {
            std::size_t page = 0;
            const std::string_view number = parameter.substr(5);
            const auto [at, error] = std::from_chars(number.data(), number.data() + number.size(), page);
            return error == std::errc() && at == number.data() + number.size() && page > 0 ? page - 1 : 0;
        }
        start = end + 1;
    }
    return 0;
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

// The archive beside a descriptor that is not there, by the same name, as a request path.
std::optional<std::string> loneArchive(const std::string& gameDirectory, const std::string& descriptorPath)
{
    const std::string stem = descriptorPath.substr(0, descriptorPath.size() - 4);
    for (const char* extension : {".jar", ".JAR"}) {
        std::error_code error;
        if (fs::is_regular_file(pathFromUtf8(mapRequestPath(gameDirectory, stem + extension)), error))
            return stem + extension;
    }
    return std::nullopt;
}

GameListAnswer answerMadeDescriptor(const std::string& mapped, std::shared_ptr<const GameRecord> record)
{
    if (!record->notMade.empty()) {
        const std::string archiveName = record->madeFor.substr(record->madeFor.rfind('/') + 1);
        return answered(status::kNotFound, "text/html", BuildErrorPage(kNotFoundMessage),
                        {mapped, std::string(kNotFoundMessage) + " No descriptor could be made for " + archiveName +
                                     ": " + record->notMade + "."});
    }
    GameListAnswer answer = answered(status::kOk, kDescriptorType, record->madeText, {mapped});
    answer.record = std::move(record);
    return answer;
}

} // namespace

GameListService::GameListService(GameWorker& worker, GameRecords& records)
    : m_records(records)
    , m_catalogue(worker, records)
{
}

void GameListService::setGameDirectory(std::string virtualDir)
{
    if (virtualDir == m_virtualDir)
        return;
    m_virtualDir = std::move(virtualDir);
    m_splits.clear();
    m_catalogue.setGameDirectory(m_virtualDir);
}

std::string GameListService::filePath(std::string_view requestPath)
{
    return decodeUrlPath(requestPath.substr(0, requestPath.find('?')));
}

GameListAnswer GameListService::answer(std::string_view requestPath, std::string_view accept,
                                       std::string_view userAgent)
{
    // The query chooses a page, or keeps a phone's cache fresh: it is never part of a file's name.
    const std::size_t queryAt = requestPath.find('?');
    const std::string_view query = queryAt == std::string_view::npos ? "" : requestPath.substr(queryAt + 1);
    std::string path = filePath(requestPath);
    if (isIconAddress(path))
        return answerIcon(path);
    if (!isServablePath(m_virtualDir, path))
        return serveFile(std::move(path));
    const std::string mapped = mapRequestPath(m_virtualDir, path);
    std::error_code error;
    if (fs::is_directory(pathFromUtf8(mapped), error))
        return answerFolder(path, query, mapped, accept, userAgent);
    if (GetMimeType(path) == kDescriptorType && !fs::exists(pathFromUtf8(mapped), error)) {
        if (const std::optional<std::string> archive = loneArchive(m_virtualDir, path))
            return answerMadeDescriptor(mapped, m_records.loneArchive(m_virtualDir, true, path, *archive));
    }
    return serveFile(std::move(path));
}

GameListAnswer GameListService::answerFolder(const std::string& path, std::string_view query,
                                             const std::string& mapped, std::string_view accept,
                                             std::string_view userAgent)
{
    const std::string folderPath = folderPathOf(path);
    const std::string index = folderPath + "index.html";
    std::error_code error;
    if (fs::is_regular_file(pathFromUtf8(mapRequestPath(m_virtualDir, index)), error))
        return serveFile(index);
    const ListMarkup markup = chooseListMarkup(accept);
    std::shared_ptr<const GameFolder> listing = m_catalogue.folder(folderPath);
    if (!listing)
        return answered(status::kOk, mimeTypeOf(markup), buildPendingPage(folderPath, markup), {mapped});
    const std::string profile = highestPlatformToken(userAgent.substr(0, kMaxPhoneHeaderBytes), "MIDP");
    listing = listingFor(folderPath, listing, profile);
    const std::vector<std::size_t>& pageStarts = pageStartsOf(folderPath + "\n" + profile, listing, markup);
    // A page past the end, from a list that has since grown shorter, is its last.
    const std::size_t page = std::min(pageOf(query), pageStarts.size() - 1);
    return answered(status::kOk, mimeTypeOf(markup), buildGameListPage(folderPath, *listing, markup, pageStarts, page),
                    {mapped});
}

GameListAnswer GameListService::answerIcon(std::string_view path)
{
    const std::optional<std::string> id = iconIdOf(path);
    std::optional<std::string> png = id ? m_catalogue.icon(*id) : std::nullopt;
    if (!png)
        return answered(status::kNotFound, "text/html", BuildErrorPage(kNotFoundMessage),
                        {std::string(path), std::string(kNotFoundMessage) + " No game has this icon (any longer)."});
    // Icons come with the page that shows them and are not logged apart.
    return answered(status::kOk, "image/png", std::move(*png), {});
}

std::shared_ptr<const GameFolder> GameListService::listingFor(const std::string& folderPath,
                                                              const std::shared_ptr<const GameFolder>& listing,
                                                              const std::string& profile)
{
    if (profile.empty())
        return listing;
    const std::string key = folderPath + "\n" + profile;
    if (const auto found = m_phoneListings.find(key); found != m_phoneListings.end() && found->second.source == listing)
        return found->second.ordered;
    const Platform phone{profile, {}};
    const auto runs = [&phone](const GameEntry& game) { return !platformShortfall(phone, {game.profile, {}}); };
    std::shared_ptr<const GameFolder> shown = listing;
    if (!std::all_of(listing->games.begin(), listing->games.end(), runs)) {
        auto ordered = std::make_shared<GameFolder>(*listing);
        const auto beyond = std::stable_partition(ordered->games.begin(), ordered->games.end(), runs);
        ordered->beyondPhoneFrom = static_cast<std::size_t>(beyond - ordered->games.begin());
        ordered->beyondPhoneNote = "Games that need more than this phone has (" + profile + "):";
        shown = std::move(ordered);
    }
    if (m_phoneListings.size() >= kMaxKeptSplits)
        m_phoneListings.clear();
    m_phoneListings[key] = {listing, shown};
    return shown;
}

const std::vector<std::size_t>& GameListService::pageStartsOf(const std::string& folderPath,
                                                              const std::shared_ptr<const GameFolder>& listing,
                                                              ListMarkup markup)
{
    auto found = m_splits.find({folderPath, markup});
    if (found != m_splits.end() && found->second.listing == listing)
        return found->second.pageStarts;
    if (found == m_splits.end()) {
        if (m_splits.size() >= kMaxKeptSplits)
            m_splits.clear();
        found = m_splits.emplace(std::pair{folderPath, markup}, Split{}).first;
    }
    found->second = {listing, splitGameList(folderPath, *listing, markup)};
    return found->second.pageStarts;
}
