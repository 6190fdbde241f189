#include "WakeUpPair.h"

#include "SocketCalls.h"

#include <array>
#include <stdexcept>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {
[[noreturn]] void fail()
{
    throw std::runtime_error("Cannot make the event loop: " + socketErrorText(WSAGetLastError()));
}

OwnedSocket tcpSocket()
{
    OwnedSocket made(::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    if (!made.isOpen())
        fail();
    return made;
}

std::uint16_t localPort(SOCKET socket)
{
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail();
    return address.sin_port;
}
} // namespace

WakeUpPair::WakeUpPair()
{
    // A listener of its own on a loopback port the system picks, for the
    // moment it takes to connect the pair.
    OwnedSocket listener = tcpSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0
        || ::listen(listener.get(), 1) != 0)
        fail();
    OwnedSocket writing = tcpSocket();
    if (::connect(writing.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail();
    const std::uint16_t writingPort = localPort(writing.get());
    // Another program on this machine may have connected first: only the
    // writing end's own connection is taken.
    OwnedSocket reading;
    for (int attempt = 0; attempt < 8 && !reading.isOpen(); ++attempt) {
        sockaddr_in peer{};
        int peerLength = sizeof peer;
        OwnedSocket accepted(::accept(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength));
        if (!accepted.isOpen())
            fail();
        if (peer.sin_port == writingPort && peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK))
            reading = std::move(accepted);
    }
    u_long on = 1;
    const BOOL noDelay = TRUE;
    if (!reading.isOpen() || ::ioctlsocket(reading.get(), FIONBIO, &on) != 0
        || ::ioctlsocket(writing.get(), FIONBIO, &on) != 0)
        fail();
    // A signal is one byte that must leave at once.
    ::setsockopt(writing.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    m_reading = reading.release();
    m_writing = writing.release();
}

WakeUpPair::~WakeUpPair()
{
    closeSocket(m_reading);
    closeSocket(m_writing);
}

void WakeUpPair::signal()
{
    const char one = 1;
    ::send(m_writing, &one, 1, 0);
}

void WakeUpPair::drain()
{
    std::array<char, 256> taken{};
    while (::recv(m_reading, taken.data(), static_cast<int>(taken.size()), 0) > 0) {
    }
}
