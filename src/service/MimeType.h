#pragma once

#include <string>
#include <string_view>

// The text from the first "." anywhere in the path to its end, so a folder
// name with a dot in it takes part: "/srv/My.Games/a.jad" gives ".Games/a.jad".
[[nodiscard]] std::string GetFileExtension(std::string_view path);

// The type a phone expects for the path: descriptors and archives by their
// extension (in any letter case), "text/html" for everything else.
[[nodiscard]] std::string GetMimeType(std::string_view path);
