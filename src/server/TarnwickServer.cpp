#include "TarnwickServer.h"

#include <charconv>

TarnwickServer::TarnwickServer(const std::string& virtualDir, LogSink& logSink, const Clock* clock)
    : m_log(logSink, m_wsServer, clock ? *clock : m_systemClock)
    , m_service(m_wsServer, m_log, m_scheduler, virtualDir, [this](SlotNumber slot) { m_slots.release(slot); })
    , m_slots(m_wsServer, m_service, m_log)
{
    m_wsServer.setEventHandler(&m_slots);
}

bool TarnwickServer::startListening(std::int32_t port, std::string& error)
{
    if (m_wsServer.State(0) != SocketState::Closed)
        m_wsServer.Close(0);
    m_wsServer.LocalPort(0, port);
    return m_wsServer.Listen(0, error);
}

void TarnwickServer::stopListening()
{
    if (m_wsServer.State(0) != SocketState::Closed)
        m_wsServer.Close(0);
}

bool TarnwickServer::isListening() const
{
    return m_wsServer.State(0) == SocketState::Listening;
}

std::uint16_t TarnwickServer::listeningPort() const
{
    return m_wsServer.boundPort(0);
}

std::optional<std::int32_t> portFromSetting(std::string_view text, std::string& error)
{
    if (text.empty()) {
        error = "no port is set";
        return std::nullopt;
    }
    std::int32_t port = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (status != std::errc{} || end != text.data() + text.size() || port < 1 || port > 65535) {
        error = "\"" + std::string(text) + "\" is not a port number from 1 to 65535";
        return std::nullopt;
    }
    return port;
}
