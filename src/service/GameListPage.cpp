#include "GameListPage.h"

#include "GameListMarkup.h"
#include "IconAddress.h"
#include "WebText.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kShownIconSide = 32;
constexpr std::string_view kPendingNote = "The games of this folder are being read; try again in a moment.";

// The folder above, as a path ending with "/".
std::string parentPath(std::string_view folderPath)
{
    const std::string_view inside = folderPath.substr(0, folderPath.size() - 1);
    return std::string(inside.substr(0, inside.rfind('/') + 1));
}

std::string titleOf(std::string_view folderPath)
{
    return folderPath == "/" ? "Games" : "Games in " + std::string(folderPath);
}

std::vector<std::string> notesOf(const GameFolder& folder)
{
    std::vector<std::string> notes;
    if (folder.games.empty())
        notes.emplace_back("No games here.");
    if (folder.cut)
        notes.emplace_back("Not every entry of this folder is listed.");
    return notes;
}

std::string detailsOf(const GameEntry& game)
{
    std::string details = game.vendor;
    const auto add = [&details](const std::string& part) {
        if (!part.empty())
            details += (details.empty() ? "" : ", ") + part;
    };
    if (game.archiveSize)
        add(formatArchiveSize(*game.archiveSize));
    add(game.profile);
    return details;
}

ListedGame listedGame(std::string_view folderPath, const GameEntry& game, unsigned number)
{
    ListedGame listed;
    listed.href = encodeUrlPath(std::string(folderPath) + game.linkName);
    listed.name = shownName(game);
    listed.version = game.version;
    listed.details = detailsOf(game);
    listed.number = number;
    if (!game.iconId.empty()) {
        listed.iconHref = iconAddress(game.iconId);
        std::tie(listed.iconWidth, listed.iconHeight) = shownIconSize(game.iconWidth, game.iconHeight);
    }
    return listed;
}

// The entries of a folder's list in order: its subfolders, its games, its notes.
class ListEntries {
public:
    ListEntries(std::string_view folderPath, const GameFolder& folder, const GameListMarkup& markup)
        : m_folderPath(folderPath)
        , m_folder(folder)
        , m_notes(notesOf(folder))
        , m_markup(markup)
    {
    }

    [[nodiscard]] std::size_t size() const { return m_folder.folders.size() + m_folder.games.size() + m_notes.size(); }
    [[nodiscard]] bool isGame(std::size_t index) const
    {
        return index >= m_folder.folders.size() && index - m_folder.folders.size() < m_folder.games.size();
    }

    // The entry written out; a game gets `number` (0 for none).
    [[nodiscard]] std::string write(std::size_t index, unsigned number) const
    {
        if (index < m_folder.folders.size()) {
            const std::string& name = m_folder.folders[index];
            return m_markup.folder(encodeUrlPath(m_folderPath + name + "/"), name + "/");
        }
        index -= m_folder.folders.size();
        if (index < m_folder.games.size()) {
            std::string written = index == m_folder.beyondPhoneFrom ? m_markup.note(m_folder.beyondPhoneNote) : "";
            return written + m_markup.game(listedGame(m_folderPath, m_folder.games[index], number));
        }
        return m_markup.note(m_notes[index - m_folder.games.size()]);
    }

private:
    std::string m_folderPath;
    const GameFolder& m_folder;
    std::vector<std::string> m_notes;
    const GameListMarkup& m_markup;
};

PageLinks linksOf(std::string_view folderPath, std::size_t page, std::size_t pages)
{
    PageLinks links;
    if (page + 1 < pages)
        links.next = pageAddress(folderPath, page + 1);
    if (page > 0)
        links.previous = pageAddress(folderPath, page - 1);
    if (folderPath != "/")
        links.up = encodeUrlPath(parentPath(folderPath));
    links.page = page + 1;
    links.pages = pages;
    return links;
}

// The most a page's head and foot can take: both links, page numbers as long as they get.
std::size_t frameBytes(std::string_view folderPath, const GameListMarkup& markup)
{
    constexpr std::size_t kManyPages = 99'999'999;
    PageLinks links = linksOf(folderPath, 1, 3);
    links.next = links.previous = pageAddress(folderPath, kManyPages);
    links.page = links.pages = kManyPages;
    return markup.head(titleOf(folderPath), links).size() + markup.foot(links).size();
}

} // namespace

std::string pageAddress(std::string_view folderPath, std::size_t page)
{
    const std::string folder = encodeUrlPath(folderPath);
    return page == 0 ? folder : folder + "?page=" + std::to_string(page + 1);
}

std::pair<int, int> shownIconSize(int width, int height)
{
    const int longest = std::max(width, height);
    if (longest <= kShownIconSide)
        return {width, height};
    const auto scaled = [longest](int side) { return std::max(1, (side * kShownIconSide + longest / 2) / longest); };
    return {scaled(width), scaled(height)};
}

std::vector<std::size_t> splitGameList(std::string_view folderPath, const GameFolder& folder, ListMarkup markup)
{
    const GameListMarkup& writer = markupWriter(markup);
    const ListEntries entries(folderPath, folder, writer);
    const std::size_t frame = frameBytes(folderPath, writer);
    const std::size_t budget = writer.byteLimit() > frame ? writer.byteLimit() - frame : 0;
    std::vector<std::size_t> starts{0};
    std::size_t used = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // Written as the first game of a page, the longest a game's line gets.
        const std::size_t bytes = entries.write(i, 1).size();
        // An entry too large for any page still gets one of its own.
        if (used > 0 && used + bytes > budget) {
            starts.push_back(i);
            used = 0;
        }
        used += bytes;
    }
    return starts;
}

std::string buildGameListPage(std::string_view folderPath, const GameFolder& folder, ListMarkup markup,
                              const std::vector<std::size_t>& pageStarts, std::size_t page)
{
    const GameListMarkup& writer = markupWriter(markup);
    const ListEntries entries(folderPath, folder, writer);
    const PageLinks links = linksOf(folderPath, page, pageStarts.size());
    std::string text = writer.head(titleOf(folderPath), links);
    const std::size_t end = page + 1 < pageStarts.size() ? pageStarts[page + 1] : entries.size();
    unsigned games = 0;
    for (std::size_t i = pageStarts[page]; i < end; ++i) {
        const unsigned number = entries.isGame(i) && games < 9 ? ++games : 0;
        text += entries.write(i, number);
    }
    return text + writer.foot(links);
}

std::string buildPendingPage(std::string_view folderPath, ListMarkup markup)
{
    const GameListMarkup& writer = markupWriter(markup);
    const PageLinks links = linksOf(folderPath, 0, 1);
    return writer.head(titleOf(folderPath), links) + writer.note(kPendingNote) + writer.foot(links);
}

std::string formatArchiveSize(std::uintmax_t bytes)
{
    constexpr std::uintmax_t kKilobyte = 1024;
    constexpr std::uintmax_t kMegabyte = 1024 * kKilobyte;
    if (bytes < kKilobyte)
        return std::to_string(bytes) + " bytes";
    if (bytes < kMegabyte)
        return std::to_string((bytes + kKilobyte - 1) / kKilobyte) + " KB";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / static_cast<double>(kMegabyte));
    return text;
}
