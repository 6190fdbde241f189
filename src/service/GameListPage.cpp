#include "GameListPage.h"

#include "WebText.h"

#include <cstdio>
#include <vector>

namespace {

std::string link(std::string_view path, std::string_view text)
{
    return "<a href=\"" + escapeHtml(encodeUrlPath(path)) + "\">" + escapeHtml(text) + "</a>";
}

std::string gameLine(std::string_view folderPath, const GameEntry& game)
{
    const std::string& shown = game.name.empty() ? game.linkName : game.name;
    std::string line = "<p>" + link(std::string(folderPath) + game.linkName, shown);
    if (!game.version.empty())
        line += " " + escapeHtml(game.version);
    std::string details = escapeHtml(game.vendor);
    if (game.archiveSize)
        details += (details.empty() ? "" : ", ") + formatArchiveSize(*game.archiveSize);
    if (!details.empty())
        line += "<br>" + details;
    return line + "</p>\n";
}

// The folder above, as a path ending with "/".
std::string parentPath(std::string_view folderPath)
{
    const std::string_view inside = folderPath.substr(0, folderPath.size() - 1);
    return std::string(inside.substr(0, inside.rfind('/') + 1));
}

} // namespace

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

std::string buildGameListPage(std::string_view folderPath, const GameFolder& folder)
{
    const bool top = folderPath == "/";
    const std::string title = top ? "Games" : "Games in " + escapeHtml(folderPath);
    // The field names the encoding for browsers that take the type from the page alone.
    std::string page = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                       "<title>" + title + "</title></head><body>\n<h3>" + title + "</h3>\n";
    for (const GameEntry& game : folder.games)
        page += gameLine(folderPath, game);
    if (folder.games.empty())
        page += "<p>No games here.</p>\n";
    std::vector<std::string> folderLinks;
    if (!top)
        folderLinks.push_back(link(parentPath(folderPath), "Up"));
    for (const std::string& name : folder.folders)
        folderLinks.push_back(link(std::string(folderPath) + name + "/", name + "/"));
    for (std::size_t i = 0; i < folderLinks.size(); ++i)
        page += (i == 0 ? "<p>" : "<br>") + folderLinks[i] + (i + 1 == folderLinks.size() ? "</p>\n" : "");
    if (folder.cut)
        page += "<p>Not every entry of this folder is listed.</p>\n";
    return page + "</body></html>\n";
}
