#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A message that a stranger controls (a request path, a file name) as the
// log shows it: every byte that is not part of well-formed UTF-8, and every
// code point that would break the line, command a terminal or reorder the
// text on screen (C0 and C1 controls, DEL, the line and paragraph
// separators, the bidirectional marks, embeddings, overrides and isolates),
// as %XX of its bytes, so that no request can forge or bend a line of the
// log. Other characters, accented and non-Latin letters among them, stay
// readable.
[[nodiscard]] std::string printableMessage(std::string_view message);
// The same, appended to `text`: no allocation once `text` has the room.
void appendPrintable(std::string& text, std::string_view message);

// A number as the operator reads it in the log: "120,000".
[[nodiscard]] std::string withThousands(std::int64_t number);
