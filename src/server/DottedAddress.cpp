#include "DottedAddress.h"

#include <array>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

std::string dottedAddress(const sockaddr_in& address)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    return ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) ? std::string(text.data()) : std::string();
}
