#include "DottedAddress.h"

#include <array>

#include <arpa/inet.h>

std::string dottedAddress(const sockaddr_in& address)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    return ::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) ? std::string(text.data()) : std::string();
}
