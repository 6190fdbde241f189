#include "WmlListMarkup.h"

#include "WebText.h"

namespace {

std::string link(std::string_view href, std::string_view text)
{
    return "<a href=\"" + escapeWml(href) + "\">" + escapeWml(text) + "</a>";
}

std::string softKey(std::string_view type, std::string_view label, std::string_view href)
{
    return "<do type=\"" + std::string(type) + "\" label=\"" + std::string(label) + "\"><go href=\"" +
           escapeWml(href) + "\"/></do>\n";
}

} // namespace

std::string escapeWml(std::string_view text)
{
    std::string escaped;
    for (const char c : escapeHtml(text)) {
        if (c == '$')
            escaped += '$';
        escaped += c;
    }
    return escaped;
}

std::string WmlListMarkup::head(std::string_view title, const PageLinks& links) const
{
    std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
                       "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n"
                       "<wml><card id=\"games\" title=\"" + escapeWml(title) + "\">\n";
    if (!links.next.empty())
        head += softKey("accept", "Next", links.next);
    if (!links.previous.empty())
        head += softKey("options", "Previous", links.previous);
    return head;
}

std::string WmlListMarkup::game(const ListedGame& game) const
{
    std::string line = "<p>";
    if (game.number != 0)
        line += std::to_string(game.number) + " ";
    line += link(game.href, game.name);
    if (!game.version.empty())
        line += " " + escapeWml(game.version);
    if (!game.details.empty())
        line += "<br/>" + escapeWml(game.details);
    return line + "</p>\n";
}

std::string WmlListMarkup::folder(std::string_view href, std::string_view name) const
{
    return "<p>" + link(href, name) + "</p>\n";
}

std::string WmlListMarkup::note(std::string_view text) const
{
    return "<p>" + escapeWml(text) + "</p>\n";
}

std::string WmlListMarkup::foot(const PageLinks& links) const
{
    std::string foot;
    if (links.pages > 1) {
        foot += "<p>";
        if (!links.next.empty())
            foot += link(links.next, "Next") + "<br/>";
        if (!links.previous.empty())
            foot += link(links.previous, "Previous") + "<br/>";
        foot += "Page " + std::to_string(links.page) + " of " + std::to_string(links.pages) + "</p>\n";
    }
    if (!links.up.empty())
        foot += "<p>" + link(links.up, "Up") + "</p>\n";
    return foot + "</card></wml>\n";
}
