#pragma once

#include "GameListMarkup.h"

// The list as a WML 1.1 deck of one card for WAP 1.x browsers. Their decks
// are small (about 1,400 bytes on early handsets), they show no PNG, and
// WML 1.1 has no access keys: "Next" and "Previous" are also the card's
// soft keys, and the numbers before the games are only shown.
class WmlListMarkup final : public GameListMarkup {
public:
    [[nodiscard]] std::size_t byteLimit() const override { return 1400; }
    [[nodiscard]] std::string head(std::string_view title, const PageLinks& links) const override;
    [[nodiscard]] std::string game(const ListedGame& game) const override;
    [[nodiscard]] std::string folder(std::string_view href, std::string_view name) const override;
    [[nodiscard]] std::string note(std::string_view text) const override;
    [[nodiscard]] std::string foot(const PageLinks& links) const override;
};

// The text with &, <, >, " and ' as character references and "$" doubled:
// WML takes "$" for the start of a variable, in text and attributes alike.
[[nodiscard]] std::string escapeWml(std::string_view text);
