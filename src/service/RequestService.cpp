#include "RequestService.h"

#include "Response.h"

// How requests arrive and answers leave: each connection's requests taken
// in order, its answers sent in the same order, and a peer that does not
// read held up. What each request is answered with is RequestAnswers.cpp.

RequestService::RequestService(SocketControl& wsServer, ActivityLog& log, GameRecords& records, GameWorker& worker,
                               std::function<void(SlotNumber)> releaseSlot)
    : m_wsServer(wsServer)
    , m_log(log)
    , m_releaseSlot(std::move(releaseSlot))
    , m_records(records)
    , m_worker(worker)
{
}

void RequestService::setGameDirectory(std::string virtualDir)
{
    if (virtualDir != m_VirtualDir)
        m_openFiles.release();
    m_VirtualDir = std::move(virtualDir);
    if (m_gameList)
        m_gameList->setGameDirectory(m_VirtualDir);
}

void RequestService::setGameList(bool on)
{
    if (on == (m_gameList != nullptr))
        return;
    m_gameList = on ? std::make_unique<GameListService>(m_worker, m_records) : nullptr;
    if (m_gameList)
        m_gameList->setGameDirectory(m_VirtualDir);
}

void RequestService::addConnection(SlotNumber slot)
{
    m_connections[slot] = std::make_shared<Connection>();
}

void RequestService::removeConnection(SlotNumber slot)
{
    m_connections.erase(slot);
}

const ReceiveBuffer* RequestService::txtReceivedData(SlotNumber slot) const
{
    const auto found = m_connections.find(slot);
    return found == m_connections.end() ? nullptr : &found->second->buffer;
}

std::optional<RequestService::ConnectionProgress> RequestService::progress(SlotNumber slot) const
{
    const auto found = m_connections.find(slot);
    if (found == m_connections.end())
        return std::nullopt;
    const Connection& connection = *found->second;
    return ConnectionProgress{!connection.buffer.text().empty(), !connection.responses.empty(), connection.requestsTaken};
}

void RequestService::takeArrivedData(SlotNumber slot)
{
    const auto found = m_connections.find(slot);
    if (found == m_connections.end()) {
        (void)m_wsServer.GetData(slot);
        return;
    }
    // Held here: answering can release the slot while this runs.
    const std::shared_ptr<Connection> connection = found->second;
    if (connection->closing) {
        (void)m_wsServer.GetData(slot);
        return;
    }
    // A held-up connection leaves its data with the socket until it goes on.
    if (isBacklogged(slot, *connection))
        return;
    connection->buffer.append(m_wsServer.GetData(slot));
    takeRequests(slot, connection);
}

void RequestService::resumeAfterSending(SlotNumber slot, std::int64_t bytesRemaining)
{
    const auto found = m_connections.find(slot);
    if (found == m_connections.end() || bytesRemaining > kMaxUnsentBytes)
        return;
    const std::shared_ptr<Connection> connection = found->second;
    sendReadyResponses(slot, connection);
    resumeReading(slot, connection);
}

void RequestService::resumeReading(SlotNumber slot, const std::shared_ptr<Connection>& connection)
{
    if (connection->closing || isBacklogged(slot, *connection) || !m_connections.contains(slot))
        return;
    // The socket raises no new arrival for what it kept meanwhile.
    connection->buffer.append(m_wsServer.GetData(slot));
    takeRequests(slot, connection);
}

bool RequestService::isBacklogged(SlotNumber slot, const Connection& connection) const
{
    return connection.responses.size() >= kMaxPendingResponses || isHeldUpByPeer(slot);
}

bool RequestService::isHeldUpByPeer(SlotNumber slot) const
{
    return m_wsServer.unsentBytes(slot) > kMaxUnsentBytes || m_wsServer.unsentAnswers(slot) >= kMaxUnsentAnswers;
}

void RequestService::takeRequests(SlotNumber slot, const std::shared_ptr<Connection>& connection)
{
    // Every complete request goes on now, in order, as long as the peer
    // takes its answers: a pipelining peer waits for nothing.
    while (!isBacklogged(slot, *connection)) {
        ReceiveBuffer::Result result = connection->buffer.takeRequest();
        if (result.status == ReceiveBuffer::Status::Incomplete)
            return;
        if (result.status != ReceiveBuffer::Status::Complete)
            return rejectFraming(slot, *connection, result.status);
        ++connection->requestsTaken;
        if (connection->peer.empty())
            connection->peer = m_wsServer.RemoteHostIP(slot);
        ProcessRequest(result, slot, connection->peer);
        if (connection->closing || !m_connections.contains(slot))
            return;
    }
}

RequestService::PendingResponse RequestService::errorResponse(std::string_view statusLine, std::string_view message)
{
    PendingResponse response;
    response.statusLine = statusLine;
    response.body = BuildErrorPage(message);
    return response;
}

void RequestService::respond(SlotNumber slot, PendingResponse response)
{
    const auto found = m_connections.find(slot);
    if (found == m_connections.end())
        return;
    const std::shared_ptr<Connection> connection = found->second;
    connection->responses.push_back(std::move(response));
    sendReadyResponses(slot, connection);
}

void RequestService::rejectFraming(SlotNumber slot, Connection& connection, ReceiveBuffer::Status status)
{
    const char* why = "";
    switch (status) {
    case ReceiveBuffer::Status::HeaderTooLarge:
        why = " The header is larger than 64 KiB; the connection is closed.";
        break;
    case ReceiveBuffer::Status::BodyTooLarge:
        why = " The announced body is larger than 1 MiB; the connection is closed.";
        break;
    case ReceiveBuffer::Status::BadChunkedBody:
        why = " The chunked body is malformed; the connection is closed.";
        break;
    default:
        why = " The Content-Length is not a usable number; the connection is closed.";
        break;
    }
    m_log.WriteActivityLog(std::string(kBadRequestMessage) + why, slot);
    connection.closing = true;
    PendingResponse response = errorResponse(status::kBadRequest, kBadRequestMessage);
    response.closeAfter = true;
    respond(slot, std::move(response));
}

void RequestService::sendReadyResponses(SlotNumber slot, const std::shared_ptr<Connection>& connection)
{
    // What the peer has not taken yet holds the next answer back; the
    // socket's progress brings it on.
    while (!connection->responses.empty() && !isHeldUpByPeer(slot)) {
        PendingResponse head = std::move(connection->responses.front());
        connection->responses.pop_front();
        send(slot, head);
        if (head.closeAfter) {
            m_releaseSlot(slot);
            return;
        }
    }
}

void RequestService::send(SlotNumber slot, PendingResponse& response)
{
    if (!response.file.file.isOpen()) {
        m_wsServer.SendData(slot, buildResponse(response.statusLine, response.mimeType, std::move(response.body),
                                                response.contentRange));
    } else {
        const std::int64_t size = response.file.size;
        m_wsServer.SendFile(slot, buildResponseHead(response.statusLine, response.mimeType, size, response.contentRange),
                            std::move(response.file));
    }
    if (m_descriptorsServed && !response.descriptor.empty())
        m_descriptorsServed->descriptorServed(response.descriptor);
}
