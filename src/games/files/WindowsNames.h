#pragma once

#include <string_view>

// Whether Windows would take request path `requestPath` (decoded or not, as
// it is mapped) for another file than the one it names, or for no file at
// all, in any of its segments: a device ("CON", "nul.txt", "COM1.jad",
// "CONIN$", in any letter case and with any extension), a name ending in a
// dot or a space (Windows drops them: "a.jad." opens "a.jad"), a ':' (a
// stream of the file, or a drive), a '\' (a separator Windows splits on:
// "..\" climbs out), or a short name ("LONGGA~1.JAD" opens whichever long
// name has it); or a path beginning with "//", which Windows reads as a
// share on another machine. Elsewhere these are ordinary names.
[[nodiscard]] bool bendsOnWindows(std::string_view requestPath);
