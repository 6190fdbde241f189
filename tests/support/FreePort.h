#pragma once

#include "TestSockets.h"

#include <cstdint>

// A port that nothing listens on right now.
inline std::uint16_t freePort()
{
    startTestSockets();
    const TestSocket probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closeTestSocket(probe);
    return ntohs(address.sin_port);
}
