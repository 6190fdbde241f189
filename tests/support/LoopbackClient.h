#pragma once

#include <QTcpSocket>
#include "WaitFor.h"

#include <QTest>

#include <string>

// A plain TCP client on loopback that waits while the event loop (and so
// the server in this process) runs.
class LoopbackClient {
public:
    struct Response {
        std::string head; // status line and fields, up to the blank line
        std::string body;
        [[nodiscard]] std::string statusLine() const { return head.substr(0, head.find("\r\n")); }
    };

    // False when refused or not connected in time.
    bool connectTo(quint16 port, int timeoutMs = 5000)
    {
        bool failed = false;
        const auto watch = QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, [&] { failed = true; });
        m_socket.connectToHost("127.0.0.1", port);
        waitFor([&] { return failed || m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
        QObject::disconnect(watch);
        return m_socket.state() == QAbstractSocket::ConnectedState;
    }

    void send(const std::string& data)
    {
        m_socket.write(data.data(), static_cast<qint64>(data.size()));
        m_socket.flush();
    }

    // The next response, framed by its Content-Length; nothing on time-out.
    std::optional<Response> readResponse(int timeoutMs = 10000)
    {
        std::size_t headEnd = std::string::npos;
        std::size_t length = 0;
        const bool complete = waitFor(
            [&] {
                fill();
                if (headEnd == std::string::npos) {
                    headEnd = m_received.find("\r\n\r\n");
                    if (headEnd == std::string::npos)
                        return false;
                    const auto field = m_received.find("Content-Length:");
                    if (field == std::string::npos || field > headEnd)
                        return true;
                    length = std::stoul(m_received.substr(field + 15));
                }
                return m_received.size() >= headEnd + 4 + length;
            },
            timeoutMs);
        if (!complete)
            return std::nullopt;
        Response response{m_received.substr(0, headEnd), m_received.substr(headEnd + 4, length)};
        m_received.erase(0, headEnd + 4 + length);
        return response;
    }

    // Whether the server closed the connection within the time.
    bool waitForClose(int timeoutMs = 5000)
    {
        return waitFor(
            [&] {
                fill();
                return m_socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }

    // Whatever arrived, without waiting beyond `ms`.
    std::string receivedWithin(int ms)
    {
        QTest::qWait(ms);
        fill();
        return std::exchange(m_received, {});
    }

    QTcpSocket& socket() { return m_socket; }

private:
    void fill()
    {
        const QByteArray data = m_socket.readAll();
        m_received.append(data.constData(), static_cast<std::size_t>(data.size()));
    }

    QTcpSocket m_socket;
    std::string m_received;
};
