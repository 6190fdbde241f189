#pragma once

#include <cstdint>
#include <utility>

// A socket as the system names it: a descriptor on POSIX systems, a handle
// of its own kind on Windows (wide as a pointer, closed by its own call).
#ifdef _WIN32
using NativeSocket = std::uintptr_t;
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

// Closes a socket; defined with the other socket calls.
void closeSocket(NativeSocket socket);

// Owns an open socket and closes it once.
class OwnedSocket {
public:
    OwnedSocket() = default;
    explicit OwnedSocket(NativeSocket socket)
        : m_socket(socket)
    {
    }
    OwnedSocket(OwnedSocket&& other) noexcept
        : m_socket(std::exchange(other.m_socket, kNoSocket))
    {
    }
    OwnedSocket& operator=(OwnedSocket&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_socket, kNoSocket));
        return *this;
    }
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;
    ~OwnedSocket() { reset(); }

    [[nodiscard]] NativeSocket get() const { return m_socket; }
    [[nodiscard]] bool isOpen() const { return m_socket != kNoSocket; }
    // The socket is the caller's now.
    [[nodiscard]] NativeSocket release() { return std::exchange(m_socket, kNoSocket); }
    void reset(NativeSocket socket = kNoSocket)
    {
        if (m_socket != kNoSocket)
            closeSocket(m_socket);
        m_socket = socket;
    }

private:
    NativeSocket m_socket = kNoSocket;
};
