#pragma once

#include "GameListMarkup.h"

// The list in HTML, or in XHTML Mobile Profile 1.0 (the same page in XML
// syntax under its document type) for WAP 2.0 browsers. Both stay within
// about 10 KB a page, what those browsers show whole, and carry no scripts
// or styles. Each game's link holds its name as its first text, where the
// catalogue browsers on phones look for it, so the icon stands before the link.
class HtmlListMarkup final : public GameListMarkup {
public:
    explicit HtmlListMarkup(bool xhtmlMobile)
        : m_xml(xhtmlMobile)
    {
    }

    [[nodiscard]] std::size_t byteLimit() const override { return 10 * 1024; }
    [[nodiscard]] std::string head(std::string_view title, const PageLinks& links) const override;
    [[nodiscard]] std::string game(const ListedGame& game) const override;
    [[nodiscard]] std::string folder(std::string_view href, std::string_view name) const override;
    [[nodiscard]] std::string note(std::string_view text) const override;
    [[nodiscard]] std::string foot(const PageLinks& links) const override;

private:
    // A line break, and how an empty element ends.
    [[nodiscard]] std::string_view lineBreak() const { return m_xml ? "<br/>" : "<br>"; }
    [[nodiscard]] std::string_view emptyEnd() const { return m_xml ? "/>" : ">"; }

    bool m_xml;
};
