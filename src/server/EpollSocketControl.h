#pragma once

#include "EventLoop.h"
#include "SocketControl.h"

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/types.h>

// The socket array on non-blocking sockets and the event loop of one I/O
// thread. Events are raised from the event loop only, never from inside a
// call, so a handler may load, unload or close elements freely. All calls
// belong to the loop's thread.
class EpollSocketControl final : public SocketControl {
public:
    explicit EpollSocketControl(EventLoop& loop);
    ~EpollSocketControl() override;
    EpollSocketControl(const EpollSocketControl&) = delete;
    EpollSocketControl& operator=(const EpollSocketControl&) = delete;

    void setEventHandler(SocketEvents* events) override { m_events = events; }

    void Load(SlotNumber slot) override;
    void Unload(SlotNumber slot) override;
    [[nodiscard]] SocketState State(SlotNumber slot) const override;
    void Close(SlotNumber slot) override;
    void Drop(SlotNumber slot) override;
    void LocalPort(SlotNumber slot, std::int32_t port) override;
    [[nodiscard]] bool Listen(SlotNumber slot, std::string& error) override;
    void Accept(SlotNumber slot, ConnectionRequestId requestId) override;
    [[nodiscard]] std::string GetData(SlotNumber slot) override;
    void SendData(SlotNumber slot, std::string data) override;
    void SendFile(SlotNumber slot, std::string head, FileBody body) override;
    [[nodiscard]] std::int64_t unsentBytes(SlotNumber slot) const override;
    [[nodiscard]] std::size_t unsentAnswers(SlotNumber slot) const override;
    [[nodiscard]] std::string RemoteHostIP(SlotNumber slot) const override;
    [[nodiscard]] std::string localAddress(SlotNumber slot) const override;

    // The port an element listens on, as the system gave it (for port 0).
    [[nodiscard]] std::uint16_t boundPort(SlotNumber slot) const;

private:
    // Text, then optionally a file's bytes, queued for one connection.
    struct Outgoing {
        std::string text;
        std::size_t textSent = 0;
        FileBody body;
        std::int64_t bodySent = 0;

        [[nodiscard]] std::int64_t unsent() const
        {
            return static_cast<std::int64_t>(text.size() - textSent) + (body.size - bodySent);
        }
    };

    struct Connection {
        FileDescriptor socket;
        EventLoop::WatchId watch = 0;
        std::uint32_t interest = 0;
        std::string input;
        std::deque<Outgoing> output;
        std::int64_t unsent = 0;
        // The peer shut its sending side: its answers still go out.
        bool peerShut = false;
        // Sends at the end of this turn.
        bool flushQueued = false;
    };

    struct Listener {
        FileDescriptor socket;
        EventLoop::WatchId watch = 0;
        EventLoop::TimerId retry = 0;
        bool failing = false;
    };

    struct Element {
        std::int32_t localPort = 0;
        std::unique_ptr<Listener> listener;
        std::unique_ptr<Connection> connection;
        std::string remoteHostIP;
        std::string localAddress;
    };

    // A connection closed from this end: what was queued still goes out,
    // then it lingers until the peer closes too, or the time is up.
    struct Lingering {
        Connection connection;
        EventLoop::TimerId deadline = 0;
        bool sendingShut = false;
    };

    enum class WriteResult { Blocked, Done, Broken, FileShrank };

    Element* element(SlotNumber slot);
    [[nodiscard]] const Element* element(SlotNumber slot) const;

    void onListenerReady(SlotNumber slot);
    void pauseAccepting(SlotNumber slot, int error);
    // Whether the listener may go on taking connections with descriptors
    // short: only when the owner made room.
    bool makeRoom(SlotNumber slot);
    void onConnectionReady(SlotNumber slot, std::uint32_t events);
    // Reads once; false when the connection broke.
    bool readSome(SlotNumber slot, Connection& connection);
    // Sends up to `budget` bytes of the queue without raising events.
    WriteResult writeSome(Connection& connection, std::size_t budget, std::int64_t& written);
    // Head and body in one call; what `sendmsg` returns.
    static ssize_t sendTogether(int socket, std::string_view head, std::string_view body);
    // Sends a slice and raises what came of it.
    void flush(SlotNumber slot);
    // Brings the readiness watched for in line with the connection's state,
    // and reports the close of a peer that shut its side once it has every
    // answer.
    void settle(SlotNumber slot);
    void updateInterest(Connection& connection);
    // The connection ended from the peer's side (or broke): it goes at once.
    void lose(SlotNumber slot, bool fileShrank = false);
    void closeListener(Element& element);
    void closeConnection(Element& element);

    void onLingeringReady(std::uint64_t id);
    void endLingering(std::uint64_t id);

    EventLoop& m_loop;
    SocketEvents* m_events = nullptr;
    std::unordered_map<SlotNumber, Element> m_elements;
    // Accepted by the system, not yet taken over by an element.
    std::unordered_set<ConnectionRequestId> m_waiting;
    // The descriptor of the connection taken last: how close to the limit
    // the process runs.
    int m_lastAccepted = 0;
    // Connections with something new to send: they send at the end of the
    // turn, after every event of the turn has queued its answers.
    std::vector<SlotNumber> m_toFlush;
    EventLoop::EndOfTurnId m_endOfTurn = 0;
    std::uint64_t m_nextLingering = 1;
    std::unordered_map<std::uint64_t, std::unique_ptr<Lingering>> m_lingering;
    std::array<char, 64 * 1024> m_readBuffer{};
    // A file this small goes out with its head in one call, read into
    // memory first: handing it to sendfile costs more than the copy, for
    // each of the many descriptors a busy server sends.
    std::array<char, 16 * 1024> m_smallBody{};
};
