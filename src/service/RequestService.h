#pragma once

#include "ActivityLog.h"
#include "GameRecords.h"
#include "GameWorker.h"
#include "GameListService.h"
#include "GameDirectory.h"
#include "OpenFileCache.h"
#include "InstallAttempts.h"
#include "ReceiveBuffer.h"
#include "RepairedDescriptors.h"
#include "ServedDescriptorWatcher.h"
#include "ServedGame.h"
#include "SocketControl.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// Everything between text arriving on a connection and a response leaving
// it: assembling requests in the slot's receive buffer, answering GET from
// the game directory and install reports posted by phones, and logging what
// was served.
//
// Each connection's answers leave in the order its requests came, while
// different connections progress side by side: a file is opened when its
// request is served and handed to the socket array, which sends it from the
// file a slice at a time; a later answer on the same connection waits for
// the earlier one. A peer that does not read what it is sent is not served
// further until it does, so no connection can make the server hold more
// than a few answers (and open files) for it.
class RequestService {
public:
    // `releaseSlot` closes a connection and releases its slot; it is called
    // after the answer to a request whose end cannot be found.
    // `records` and `worker` are shared with the game check; the game list
    // reads on `worker`.
    RequestService(SocketControl& wsServer, ActivityLog& log, GameRecords& records, GameWorker& worker,
                   std::function<void(SlotNumber)> releaseSlot);

    // The game directory in force, read anew for every request. Files kept
    // open from another one are let go.
    void setGameDirectory(std::string virtualDir);
    [[nodiscard]] const std::string& gameDirectory() const { return m_VirtualDir; }

    // Told the mapped path each time a descriptor (a file of the descriptor's
    // type) is answered with 200, as it is handed to the socket; none: nobody.
    void watchServedDescriptors(ServedDescriptorWatcher* watcher) { m_descriptorsServed = watcher; }

    // The receive buffer txtReceivedData(n) lives from the slot's creation to
    // its release; answers still pending for a released slot are dropped.
    void addConnection(SlotNumber slot);
    void removeConnection(SlotNumber slot);
    [[nodiscard]] const ReceiveBuffer* txtReceivedData(SlotNumber slot) const;

    // Where a connection stands, for deciding whether it is idle.
    struct ConnectionProgress {
        bool partialRequest = false; // part of a request has arrived
        bool answersPending = false; // answers wait to be handed to the socket
        std::uint64_t requestsTaken = 0;
    };
    [[nodiscard]] std::optional<ConnectionProgress> progress(SlotNumber slot) const;

    // Limits on what one connection may have waiting: answers queued, and
    // bytes and answers handed to the socket that the peer has not taken
    // yet. The answers count too, since each file among them holds a
    // descriptor: a peer asking for many small files without reading
    // would otherwise hold hundreds.
    static constexpr std::size_t kMaxPendingResponses = 32;
    static constexpr std::int64_t kMaxUnsentBytes = 256 * 1024;
    static constexpr std::size_t kMaxUnsentAnswers = 8;

    // Takes what arrived on the connection and answers every request it completes.
    void takeArrivedData(SlotNumber slot);
    // The socket has sent some of what it held: a connection held up by its
    // peer may go on.
    void resumeAfterSending(SlotNumber slot, std::int64_t bytesRemaining);
    // A request as it is answered: its connection, its peer's address (asked
    // once per connection) and what was read of its header.
    struct Request {
        SlotNumber slot = 0;
        const std::string& peer;
        const RequestHead& head;
        std::string_view body;
    };

    void ProcessRequest(const ReceiveBuffer::Result& received, SlotNumber slot, const std::string& peer);
    void ServeRequest(std::string_view path, const Request& request);

    // With the game list on, folders are answered with their games and lone
    // archives get a made descriptor (see GameListAnswer); off, as without it.
    void setGameList(bool on);
    // The game list while it is on, else nothing.
    [[nodiscard]] GameListService* gameList() { return m_gameList.get(); }
    // With repair on, every descriptor is answered as a phone installs it
    // (see repairDescriptor), with a report address of this server's own;
    // off, descriptors go out byte for byte as they are.
    void setRepairDescriptors(bool on) { m_repair = on; }
    // Tells `attempts` every descriptor and archive served and every report
    // taken, so that each install is followed to its end; none: not followed.
    void followAttempts(InstallAttempts* attempts) { m_attempts = attempts; }

    // Closes the files kept open for the next requests (descriptors run
    // short, the server stops); returns how many were kept.
    std::size_t releaseOpenFiles() { return m_openFiles.release(); }
    // Closes the kept files that no request asked for in a while.
    void closeIdleFiles(OpenFileCache::IdleClock::time_point now) { m_openFiles.closeIdle(now); }

private:
    struct PendingResponse {
        std::string statusLine;
        std::string mimeType = "text/html";
        std::string body;
        // When open, the body is sent from this file instead.
        FileBody file;
        std::string contentRange;
        // The mapped path of a descriptor answered with 200.
        std::string descriptor;
        bool closeAfter = false;
    };

    struct Connection {
        ReceiveBuffer buffer;
        // The peer's address, once a request asked for it.
        std::string peer;
        std::deque<PendingResponse> responses;
        // The connection's framing failed: what arrives now is ignored, and it
        // closes once its answers are out.
        bool closing = false;
        std::uint64_t requestsTaken = 0;
    };

    // An error page under the given status line.
    static PendingResponse errorResponse(std::string_view statusLine, std::string_view message);

    void respond(SlotNumber slot, PendingResponse response);
    // Whether the connection takes no more requests for now.
    [[nodiscard]] bool isBacklogged(SlotNumber slot, const Connection& connection) const;
    // Whether the peer has left so much untaken that no answer goes out now.
    [[nodiscard]] bool isHeldUpByPeer(SlotNumber slot) const;
    void takeRequests(SlotNumber slot, const std::shared_ptr<Connection>& connection);
    // Takes up what a held-up connection received meanwhile, once it may go on.
    void resumeReading(SlotNumber slot, const std::shared_ptr<Connection>& connection);
    void rejectFraming(SlotNumber slot, Connection& connection, ReceiveBuffer::Status status);
    void sendReadyResponses(SlotNumber slot, const std::shared_ptr<Connection>& connection);
    void send(SlotNumber slot, PendingResponse& response);
    // Answers the request when the game list does; else gives the path to serve.
    bool answerFromGameList(std::string_view path, const Request& request, std::string& servePath);
    // The answer for an opened file: whole, the part its Range asks for, or 416.
    PendingResponse fileResponse(OpenedGameFile& opened, const std::string& mimeType, const RequestHead& head,
                                 std::string& logLine) const;
    // The descriptor `text`, served at `path`, as a phone installs it; nothing
    // when it cannot be read as a descriptor.
    // `reportPath` is this download's report address, as a path on this server.
    std::optional<RepairedDescriptors::Served> repair(const std::shared_ptr<const GameRecord>& record,
                                                      const Request& request);
    // Tells the attempts of a descriptor file served at `path` with 200;
    // `repaired` is what the repair made of it, if it did.
    void followDescriptor(const Request& request, const GameRecord& record,
                          const RepairedDescriptors::Served* repaired);
    // Tells the attempts of an archive file handed to the socket.
    void followArchive(const Request& request, const FileBody& file, std::int64_t fileSize);
    // Tells the attempts of a report a phone posted to `path`.
    void followReport(const Request& request, std::string_view path, const InstallReport& report);
    [[nodiscard]] static InstallAttempts::Requester requester(const Request& request);
    // A report posted to an address this server gave out.
    void answerOwnReport(std::string_view path, const Request& request);
    // This server as the phone reached it: "http://192.168.1.5:8080".
    [[nodiscard]] const std::string& originFor(const Request& request);

    SocketControl& m_wsServer;
    ActivityLog& m_log;
    std::string m_VirtualDir;
    std::function<void(SlotNumber)> m_releaseSlot;
    ServedDescriptorWatcher* m_descriptorsServed = nullptr;
    std::unordered_map<SlotNumber, std::shared_ptr<Connection>> m_connections;
    OpenFileCache m_openFiles;
    std::unique_ptr<GameListService> m_gameList;
    bool m_repair = false;
    RepairedDescriptors m_repaired;
    // The Host field of the last request that named one, and the origin it gives.
    std::string m_lastHost;
    std::string m_lastOrigin;
    InstallAttempts* m_attempts = nullptr;
    GameRecords& m_records;
    GameWorker& m_worker;
};
