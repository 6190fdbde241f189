#pragma once

#include "AsciiText.h"

#include <string_view>
#include <vector>

// The lines of a text, each without its line end. CR LF, LF and a CR alone
// each end a line, as both the descriptor and the manifest formats allow.
// A text that ends with a line end has no empty line after it.
[[nodiscard]] std::vector<std::string_view> splitLines(std::string_view text);
