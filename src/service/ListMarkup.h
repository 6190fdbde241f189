#pragma once

#include <string_view>

// The markups a phone's browser reads the game list in: WAP 1.x browsers
// read WML alone, WAP 2.0 browsers XHTML Mobile Profile and often HTML,
// and everything else HTML.
enum class ListMarkup {
    Html,
    XhtmlMobile,
    Wml,
};

// The markup the browser prefers by its Accept field: the quality values
// first (the most specific media range that matches decides a type's
// value), then a type named outright before one matched by a wildcard,
// then the order of the field; HTML when nothing tells them apart, when
// the field is missing or unreadable, or when it accepts none of them (a
// browser is never refused the list).
[[nodiscard]] ListMarkup chooseListMarkup(std::string_view accept);

// The type the markup is sent with.
[[nodiscard]] std::string_view mimeTypeOf(ListMarkup markup);
