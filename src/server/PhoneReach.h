#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// This machine's IPv4 addresses on its networks (loopback left out), the
// ones a phone on the same network can reach, dotted.
[[nodiscard]] std::vector<std::string> lanIPv4Addresses();

// "http://<address>:<port>" for every address of lanIPv4Addresses(): the
// origins a phone's browser may name when it asks for a game.
[[nodiscard]] std::vector<std::string> phoneOrigins(std::uint16_t port);

// The about line that tells the operator what a phone types to reach the
// server listening on port, or that none can yet while it listens on none.
[[nodiscard]] std::string phoneReachLine(std::optional<std::uint16_t> listeningPort);
