#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "TestSockets.h"

// A plain TCP client on loopback. Every wait is bounded; the server runs on
// its own thread meanwhile.
class LoopbackClient {
public:
    struct Response {
        std::string head; // status line and fields, up to the blank line
        std::string body;
        [[nodiscard]] std::string statusLine() const { return head.substr(0, head.find("\r\n")); }
    };

    LoopbackClient() { startTestSockets(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;
    ~LoopbackClient()
    {
        if (m_fd != kNoTestSocket)
            closeTestSocket(m_fd);
    }

    // False when refused or not connected in time. A receive buffer of
    // `receiveBuffer` bytes (0: the system's) makes a slow reader.
    bool connectTo(std::uint16_t port, int timeoutMs = 5000, int receiveBuffer = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        makeNonBlocking(m_fd);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (!connectInProgress() || !waitFor(POLLOUT, timeoutMs))
            return false;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        return error == 0;
    }

    void send(const std::string& data)
    {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const auto count = ::send(m_fd, data.data() + sent, static_cast<int>(data.size() - sent), kNoBrokenPipeSignal);
            if (count > 0)
                sent += static_cast<std::size_t>(count);
            else if (count < 0 && lastCallWouldBlock())
                waitFor(POLLOUT, 1000);
            else
                return;
        }
    }

    // The peer's sending side only: answers may still come.
    void shutdownSending() { ::shutdown(m_fd, kShutSending); }

    // Closes at once with a reset, as a phone that loses the network does.
    void abort()
    {
        const linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        closeTestSocket(m_fd);
        m_fd = kNoTestSocket;
    }

    // The next response, framed by its Content-Length; nothing on time-out.
    std::optional<Response> readResponse(int timeoutMs = 10000)
    {
        const auto deadline = after(timeoutMs);
        std::size_t headEnd = std::string::npos;
        std::size_t length = 0;
        for (;;) {
            if (headEnd == std::string::npos) {
                headEnd = m_received.find("\r\n\r\n");
                if (headEnd != std::string::npos) {
                    const auto field = m_received.find("Content-Length:");
                    length = field == std::string::npos || field > headEnd ? 0 : std::stoul(m_received.substr(field + 15));
                }
            }
            if (headEnd != std::string::npos && m_received.size() >= headEnd + 4 + length)
                break;
            if (!fill(deadline))
                return std::nullopt;
        }
        Response response{m_received.substr(0, headEnd), m_received.substr(headEnd + 4, length)};
        m_received.erase(0, headEnd + 4 + length);
        return response;
    }

    // What has arrived once it is at least `size` bytes, left to be read
    // again; nothing on time-out or close.
    std::optional<std::string> readBytes(std::size_t size, int timeoutMs = 10000)
    {
        const auto deadline = after(timeoutMs);
        while (m_received.size() < size)
            if (!fill(deadline))
                return std::nullopt;
        return m_received;
    }

    // Whether the server closed the connection within the time; what came
    // before the close stays to be taken with receivedWithin.
    bool waitForClose(int timeoutMs = 5000)
    {
        const auto deadline = after(timeoutMs);
        while (!m_closed)
            if (!fill(deadline) && !m_closed)
                return false;
        return true;
    }

    // Whatever arrived, without waiting beyond `ms`.
    std::string receivedWithin(int ms)
    {
        const auto deadline = after(ms);
        while (fill(deadline)) {
        }
        return std::exchange(m_received, {});
    }

    [[nodiscard]] bool closed() const { return m_closed; }

private:
    using TimePoint = std::chrono::steady_clock::time_point;

    static TimePoint after(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

    bool waitFor(short events, int timeoutMs)
    {
        return pollTestSocket(m_fd, events, timeoutMs) > 0;
    }

    // Reads what comes before the deadline; false on time-out or close.
    bool fill(TimePoint deadline)
    {
        if (m_closed || m_fd == kNoTestSocket)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !waitFor(POLLIN, static_cast<int>(left.count())))
            return false;
        char buffer[64 * 1024];
        const auto count = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (count > 0) {
            m_received.append(buffer, static_cast<std::size_t>(count));
            return true;
        }
        if (count < 0 && lastCallWouldBlock())
            return true;
        m_closed = true;
        return false;
    }

    TestSocket m_fd = kNoTestSocket;
    std::string m_received;
    bool m_closed = false;
};
