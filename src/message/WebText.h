#pragma once

#include <string>
#include <string_view>

// Names from the game directory put into a page or a link.

// The text with &, <, >, " and ' written as character references, so that
// no name can end an attribute or open a tag.
[[nodiscard]] std::string escapeHtml(std::string_view text);

// A path for a link: every byte but letters, digits, "-", ".", "_", "~"
// and "/" written as %XX, so that blanks, "?", "#", "%" and non-ASCII names
// reach the server as they are named.
[[nodiscard]] std::string encodeUrlPath(std::string_view path);

// The path a link named: every %XX turned back into its byte. A "%" that
// no two hexadecimal digits follow stays as it is.
[[nodiscard]] std::string decodeUrlPath(std::string_view path);
