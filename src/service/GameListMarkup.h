#pragma once

#include "ListMarkup.h"

#include <cstddef>
#include <string>
#include <string_view>

// One game's line on a list page. Texts are as read; the markup escapes them.
struct ListedGame {
    std::string href; // an encoded path
    std::string_view name;
    std::string_view version;
    std::string details; // "Vendor, 12 KB, MIDP-2.0"
    unsigned number = 0; // 1 to 9, reached by that key; 0 for none
    std::string iconHref; // empty: no icon
    int iconWidth = 0;
    int iconHeight = 0;
};

// The links of a page beyond its entries: encoded paths, empty for none.
struct PageLinks {
    std::string next;
    std::string previous;
    std::string up;
    std::size_t page = 1;
    std::size_t pages = 1;
};

// How the parts of a list page are written in one markup. Every part is a
// whole line or lines, so that a page is its head, its entries and its foot
// laid end to end.
class GameListMarkup {
public:
    virtual ~GameListMarkup() = default;

    // The most bytes a page may have: what the browsers that read this markup still show.
    [[nodiscard]] virtual std::size_t byteLimit() const = 0;
    [[nodiscard]] virtual std::string head(std::string_view title, const PageLinks& links) const = 0;
    [[nodiscard]] virtual std::string game(const ListedGame& game) const = 0;
    [[nodiscard]] virtual std::string folder(std::string_view href, std::string_view name) const = 0;
    [[nodiscard]] virtual std::string note(std::string_view text) const = 0;
    [[nodiscard]] virtual std::string foot(const PageLinks& links) const = 0;
};

// The writer of each markup; it lives as long as the program.
[[nodiscard]] const GameListMarkup& markupWriter(ListMarkup markup);
