#pragma once

#include <string>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

// "192.168.1.5", or nothing when the system cannot say.
[[nodiscard]] std::string dottedAddress(const sockaddr_in& address);
