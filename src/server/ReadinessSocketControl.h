#pragma once

#include "Acceptor.h"
#include "Connection.h"
#include "EventLoop.h"
#include "LingeringCloses.h"
#include "OutgoingQueue.h"
#include "SocketControl.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The socket array on non-blocking sockets, served by the event loop of one
// I/O thread. Events are raised from that loop only, never from inside a
// call, so a handler may load, unload or close elements freely. All calls
// belong to the loop's thread.
class ReadinessSocketControl final : public SocketControl {
public:
    explicit ReadinessSocketControl(EventLoop& loop);
    ~ReadinessSocketControl() override;
    ReadinessSocketControl(const ReadinessSocketControl&) = delete;
    ReadinessSocketControl& operator=(const ReadinessSocketControl&) = delete;

    void setEventHandler(SocketEvents* events) override
    {
        m_events = events;
        m_acceptor.setEventHandler(events);
    }

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
    [[nodiscard]] std::uint16_t boundPort(SlotNumber slot) const { return m_acceptor.boundPort(slot); }

private:
    // A loaded element; whether it listens, the acceptor knows.
    struct Element {
        std::int32_t localPort = 0;
        std::unique_ptr<Connection> connection;
        std::string remoteHostIP;
    };

    Element* element(SlotNumber slot);
    [[nodiscard]] const Element* element(SlotNumber slot) const;
    // The slot's connection, or nullptr when the slot is not loaded or has
    // none. Any event may close or replace it: it is looked up afresh after
    // each.
    Connection* connectionAt(SlotNumber slot);
    [[nodiscard]] const Connection* connectionAt(SlotNumber slot) const;
    // What becomes of a connection taken out of its element.
    enum class Afterwards { ClosedAtOnce, KeptOpen };
    // Takes the slot's connection out of its element, no longer watched;
    // nullptr when it has none. One closed at once must be closed before
    // anything else is watched.
    std::unique_ptr<Connection> release(SlotNumber slot, Afterwards afterwards = Afterwards::ClosedAtOnce);

    void onConnectionReady(SlotNumber slot, std::uint32_t events);
    // Sends a slice and raises what came of it.
    void flush(SlotNumber slot);
    // Raises how far the files of the last flush went.
    void reportFilesMoved(SlotNumber slot);
    // Brings the readiness watched for in line with the connection's state,
    // and reports the close of a peer that shut its side once it has every
    // answer.
    void settle(SlotNumber slot);
    // The connection ended from the peer's side (or broke): it goes at once.
    void lose(SlotNumber slot, bool fileShrank = false);
    // Closed from this end: it lingers until what was queued went out.
    void closeConnection(SlotNumber slot);

    EventLoop& m_loop;
    SocketEvents* m_events = nullptr;
    std::unordered_map<SlotNumber, Element> m_elements;
    // Shared by every connection and lingering close: one turn uses them
    // at a time.
    std::array<char, 64 * 1024> m_readBuffer{};
    OutgoingQueue::SmallBodyBuffer m_smallBody{};
    // The files that went further in one flush; kept for its capacity.
    std::vector<OutgoingQueue::FileMoved> m_filesMoved;
    // Declared after the buffers they borrow and torn down before the
    // elements: listeners and waiting connections close first, then the
    // lingering ones, then the open ones.
    LingeringCloses m_lingering{m_loop, m_readBuffer, m_smallBody};
    Acceptor m_acceptor{m_loop};
    // Connections with something new to send: they send at the end of the
    // turn, after every event of the turn has queued its answers.
    std::vector<SlotNumber> m_toFlush;
    EventLoop::EndOfTurnId m_endOfTurn = 0;
};
