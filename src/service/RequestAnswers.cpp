#include "RequestService.h"

#include "ByteRange.h"
#include "HostHeader.h"
#include "InstallReport.h"
#include "MimeType.h"
#include "PrintableText.h"
#include "Response.h"

// What each request is answered with: files, repaired descriptors, ranges,
// reports and the game list. How requests arrive and answers leave, in
// order and held up by a peer that does not read, is RequestService.cpp.

void RequestService::ProcessRequest(const ReceiveBuffer::Result& received, SlotNumber slot, const std::string& peer)
{
    const RequestHead& head = received.head;
    const Request request{slot, peer, head, received.body()};
    if (!head.hasRequestLine) {
        m_log.WriteActivityLog(std::string(kBadRequestMessage) + " The request line needs a method, a path and a version.",
                               peer);
        respond(slot, errorResponse(status::kBadRequest, kBadRequestMessage));
        return;
    }
    if (head.method == "GET") {
        ServeRequest(head.path, request);
    } else if (head.method == "POST") {
        if (ReportAddresses::isReportPath(head.path))
            return answerOwnReport(head.path, request);
        // A phone takes anything but 200 for a failed report and sends it again.
        if (const auto report = readInstallReport(request.body)) {
            m_log.WriteActivityLog(describeInstallReport(*report, head.path), peer);
            followReport(request, head.path, *report);
            PendingResponse receipt;
            receipt.statusLine = status::kOk;
            respond(slot, std::move(receipt));
        }
    }
}

void RequestService::ServeRequest(std::string_view path, const Request& request)
{
    const SlotNumber slot = request.slot;
    std::string filePath = m_gameList ? GameListService::filePath(path) : std::string(path);
    std::string mappedPath = mapRequestPath(m_VirtualDir, filePath);
    OpenedGameFile opened = m_openFiles.open(m_VirtualDir, filePath, mappedPath);
    // Most requests name a file: the list is asked only when none is there
    // (a folder, a descriptor it makes for a lone archive, an icon).
    if (m_gameList && opened.status != OpenedGameFile::Status::Opened) {
        std::string listedPath;
        if (answerFromGameList(path, request, listedPath))
            return;
        if (listedPath != filePath) {
            filePath = std::move(listedPath);
            mappedPath = mapRequestPath(m_VirtualDir, filePath);
            opened = m_openFiles.open(m_VirtualDir, filePath, mappedPath);
        }
    }
    path = filePath;
    switch (opened.status) {
    case OpenedGameFile::Status::NotFound:
        m_log.WriteActivityLog(mappedPath, request.peer);
        m_log.WriteActivityLog(kNotFoundMessage, request.peer);
        respond(slot, errorResponse(status::kNotFound, kNotFoundMessage));
        return;
    case OpenedGameFile::Status::Unreadable:
        m_log.WriteActivityLog(mappedPath, request.peer);
        m_log.WriteActivityLog(kUnreadableMessage, request.peer);
        respond(slot, errorResponse(status::kServerError, kUnreadableMessage));
        return;
    case OpenedGameFile::Status::Opened:
        break;
    }
    const std::string mimeType = GetMimeType(mappedPath);
    std::shared_ptr<const GameRecord> record;
    if (mimeType == kDescriptorType && (m_repair || m_attempts))
        record = m_records.descriptor(m_VirtualDir, m_gameList != nullptr, std::string(path), opened.stamp);
    if (m_repair && record) {
        if (auto repaired = repair(record, request)) {
            m_log.WriteActivityLog(mappedPath, repaired->note, request.peer);
            followDescriptor(request, *record, &*repaired);
            PendingResponse response;
            response.statusLine = status::kOk;
            response.mimeType = mimeType;
            response.body = std::move(repaired->text);
            response.descriptor = mappedPath;
            respond(slot, std::move(response));
            return;
        }
    }
    std::string logLine = mappedPath;
    const std::int64_t fileSize = opened.body.size;
    PendingResponse response = fileResponse(opened, mimeType, request.head, logLine);
    m_log.WriteActivityLog(logLine, request.peer);
    if (!response.descriptor.empty() && record)
        followDescriptor(request, *record, nullptr);
    else if (mimeType == kArchiveType && response.file.file.isOpen())
        followArchive(request, response.file, fileSize);
    respond(slot, std::move(response));
}

InstallAttempts::Requester RequestService::requester(const Request& request)
{
    return {request.peer, request.head.userAgent, request.head.wapProfile};
}

void RequestService::followDescriptor(const Request& request, const GameRecord& record,
                                      const RepairedDescriptors::Served* repaired)
{
    if (!m_attempts)
        return;
    InstallAttempts::ServedDescriptor served;
    served.requestPath = record.descriptorPath;
    served.file = record.descriptorFile;
    served.game = servedGame(record, originFor(request));
    if (repaired) {
        // The phone installs what the repair made of the descriptor.
        served.repaired = true;
        served.reportPath = repaired->reportPath;
        served.game.name = repaired->name;
        served.game.version = repaired->version;
        if (!repaired->archivePath.empty())
            served.game.archivePath = mapRequestPath(m_VirtualDir, repaired->archivePath);
    }
    m_attempts->descriptorServed(requester(request), served);
}

void RequestService::followArchive(const Request& request, const FileBody& file, std::int64_t fileSize)
{
    if (m_attempts)
        m_attempts->archiveServed(request.slot, requester(request), file.path, file.offset, fileSize);
}

void RequestService::followReport(const Request& request, std::string_view path, const InstallReport& report)
{
    if (m_attempts)
        (void)m_attempts->reportReceived(path, request.peer, report);
}

RequestService::PendingResponse RequestService::fileResponse(OpenedGameFile& opened, const std::string& mimeType,
                                                             const RequestHead& head, std::string& logLine) const
{
    PendingResponse response;
    response.statusLine = status::kOk;
    response.mimeType = mimeType;
    const std::int64_t size = opened.body.size;
    const ByteRange range = head.range.empty() ? ByteRange{} : readByteRange(head.range, size);
    switch (range.kind) {
    case ByteRange::Kind::Whole:
        if (mimeType == kDescriptorType)
            response.descriptor = opened.body.path;
        response.file = std::move(opened.body);
        break;
    case ByteRange::Kind::Part:
        response.statusLine = status::kPartialContent;
        response.contentRange =
            "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" + std::to_string(size);
        response.file = std::move(opened.body);
        response.file.offset = range.first;
        response.file.size = range.length();
        logLine += " (bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + " of " +
                   withThousands(size) + ")";
        break;
    case ByteRange::Kind::Unsatisfiable:
        response.statusLine = status::kRangeNotSatisfiable;
        response.contentRange = "bytes */" + std::to_string(size);
        logLine += " (a range past its end, " + withThousands(size) + " bytes)";
        break;
    }
    return response;
}

const std::string& RequestService::originFor(const Request& request)
{
    // A phone names this server alike in every request, so the last one's holds for the next.
    if (request.head.host.empty() || request.head.host != m_lastHost) {
        const std::optional<std::string> host = acceptedHost(request.head.host);
        m_lastHost = host ? request.head.host : std::string();
        m_lastOrigin = "http://" + (host ? *host : m_wsServer.localAddress(request.slot));
    }
    return m_lastOrigin;
}

std::optional<RepairedDescriptors::Served> RequestService::repair(const std::shared_ptr<const GameRecord>& record,
                                                                  const Request& request)
{
    return m_repaired.serve(record, originFor(request), request.peer);
}

void RequestService::answerOwnReport(std::string_view path, const Request& request)
{
    const std::optional<InstallReport> report = readInstallReport(request.body, ReportCodes::Any);
    const ReportAddresses::Download* download = m_repaired.download(path);
    std::string line = report ? reportTitle(*report) : "A report without a status code";
    if (download) {
        const std::string& descriptorPath = download->game->descriptorPath;
        std::string game = download->gameName.empty() ? shownPath(descriptorPath) : download->gameName;
        if (!download->gameVersion.empty())
            game += " " + download->gameVersion;
        line += " for " + game + " (" + shownPath(descriptorPath) + ", fetched by " + download->phoneAddress + ")";
    } else {
        line += ", posted to an address this server never gave out (" + std::string(path) + ")";
    }
    m_log.WriteActivityLog(line, request.peer);
    if (report)
        followReport(request, path, *report);
    // Always 200: a phone sends a report that was not taken again and again.
    PendingResponse receipt;
    receipt.statusLine = status::kOk;
    respond(request.slot, std::move(receipt));
}

bool RequestService::answerFromGameList(std::string_view path, const Request& request, std::string& servePath)
{
    GameListAnswer answer = m_gameList->answer(path, request.head.accept, request.head.userAgent);
    if (answer.kind == GameListAnswer::Kind::ServeFile) {
        servePath = std::move(answer.path);
        return false;
    }
    if (m_repair && answer.record) {
        if (auto repaired = repair(answer.record, request)) {
            answer.body = std::move(repaired->text);
            answer.logLines.front() += repaired->note;
        }
    }
    for (const std::string& line : answer.logLines)
        m_log.WriteActivityLog(line, request.peer);
    PendingResponse response;
    response.statusLine = std::move(answer.statusLine);
    response.mimeType = std::move(answer.mimeType);
    response.body = std::move(answer.body);
    respond(request.slot, std::move(response));
    return true;
}
