#pragma once

#include <string>

#include <netinet/in.h>

// "192.168.1.5", or nothing when the system cannot say.
[[nodiscard]] std::string dottedAddress(const sockaddr_in& address);
