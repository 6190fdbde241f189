#include "HtmlListMarkup.h"

#include "WebText.h"

namespace {

std::string link(std::string_view href, std::string_view text, std::string_view accessKey = {})
{
    std::string a = "<a href=\"" + escapeHtml(href) + "\"";
    if (!accessKey.empty())
        a += " accesskey=\"" + std::string(accessKey) + "\"";
    return a + ">" + escapeHtml(text) + "</a>";
}

} // namespace

std::string HtmlListMarkup::head(std::string_view title, const PageLinks&) const
{
    const std::string shown = escapeHtml(title);
    if (m_xml)
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
               "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\n"
               "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>" + shown + "</title></head><body>\n"
               "<h3>" + shown + "</h3>\n";
    // The field names the encoding for browsers that take the type from the page alone.
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
           "<title>" + shown + "</title></head><body>\n<h3>" + shown + "</h3>\n";
}

std::string HtmlListMarkup::game(const ListedGame& game) const
{
    std::string line = "<p>";
    const std::string key = game.number == 0 ? std::string() : std::to_string(game.number);
    if (!key.empty())
        line += key + ". ";
    if (!game.iconHref.empty())
        line += "<img src=\"" + escapeHtml(game.iconHref) + "\" width=\"" + std::to_string(game.iconWidth) +
                "\" height=\"" + std::to_string(game.iconHeight) + "\" alt=\"\"" + std::string(emptyEnd()) + " ";
    line += link(game.href, game.name, key);
    if (!game.version.empty())
        line += " " + escapeHtml(game.version);
    if (!game.details.empty())
        line += std::string(lineBreak()) + escapeHtml(game.details);
    return line + "</p>\n";
}

std::string HtmlListMarkup::folder(std::string_view href, std::string_view name) const
{
    return "<p>" + link(href, name) + "</p>\n";
}

std::string HtmlListMarkup::note(std::string_view text) const
{
    return "<p>" + escapeHtml(text) + "</p>\n";
}

std::string HtmlListMarkup::foot(const PageLinks& links) const
{
    std::string foot;
    if (links.pages > 1) {
        foot += "<p>";
        if (!links.next.empty())
            foot += link(links.next, "Next", "#") + std::string(lineBreak());
        if (!links.previous.empty())
            foot += link(links.previous, "Previous", "*") + std::string(lineBreak());
        foot += "Page " + std::to_string(links.page) + " of " + std::to_string(links.pages) + "</p>\n";
    }
    if (!links.up.empty())
        foot += "<p>" + link(links.up, "Up") + "</p>\n";
    return foot + "</body></html>\n";
}
