#pragma once

#include <string>
#include <vector>

// This machine's IPv4 addresses on its networks (loopback left out), the
// ones a phone on the same network can reach, dotted.
[[nodiscard]] std::vector<std::string> lanIPv4Addresses();
