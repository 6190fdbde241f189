#pragma once

#include <optional>
#include <string>
#include <string_view>

// The host and port a request's Host field names, when it is a well-formed
// "host[:port]" that may go into an address this server hands out: a name
// of letters, digits, "-" and "." or an IPv4 literal, at most 255 bytes,
// and a port from 1 to 65535. Nothing for anything else (blanks, line
// breaks, "@", "/", a bracketed or otherwise odd host), so that no request
// can bend an address written into a descriptor.
[[nodiscard]] std::optional<std::string> acceptedHost(std::string_view hostField);
