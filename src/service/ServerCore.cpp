#include "ServerCore.h"

ServerCore::ServerCore(SocketControl& wsServer, LogSink& sink, const Clock& clock,
                       std::function<ConnectionSlots::TimePoint()> now, RecordSources sources)
    : m_records(std::move(sources))
    , m_log(sink, wsServer, clock)
    , m_attempts(m_log, clock, now)
    , m_service(wsServer, m_log, m_records, m_worker, [this](SlotNumber slot) { m_slots.release(slot); })
    , m_slots(wsServer, m_service, m_log, std::move(now))
    , m_check(m_worker, m_records, [this](const std::string& line) { m_log.WriteActivityLog(line, std::string_view()); })
{
    m_service.watchServedDescriptors(&m_check);
    wsServer.setEventHandler(&m_slots);
    m_service.followAttempts(&m_attempts);
    m_slots.followAttempts(&m_attempts);
}
