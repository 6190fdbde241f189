#pragma once

#include "SocketControl.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

class QTcpServer;
class QTcpSocket;

// The socket array on Qt's TCP classes and event loop. Events are raised
// from the event loop only, never from inside a call, so a handler may load,
// unload or close elements freely.
class QtSocketControl final : public QObject, public SocketControl {
public:
    explicit QtSocketControl(QObject* parent = nullptr);
    ~QtSocketControl() override;

    void setEventHandler(SocketEvents* events) override;

    void Load(SlotNumber slot) override;
    void Unload(SlotNumber slot) override;
    [[nodiscard]] SocketState State(SlotNumber slot) const override;
    void Close(SlotNumber slot) override;
    void LocalPort(SlotNumber slot, std::int32_t port) override;
    [[nodiscard]] bool Listen(SlotNumber slot, std::string& error) override;
    void Accept(SlotNumber slot, ConnectionRequestId requestId) override;
    [[nodiscard]] std::string GetData(SlotNumber slot) override;
    void SendData(SlotNumber slot, std::string data) override;
    [[nodiscard]] std::int64_t unsentBytes(SlotNumber slot) const override;
    [[nodiscard]] std::string RemoteHostIP(SlotNumber slot) const override;

    // The port an element listens on, as the system gave it (for port 0).
    [[nodiscard]] std::uint16_t boundPort(SlotNumber slot) const;

private:
    class Listener;

    struct Element {
        std::int32_t localPort = 0;
        QPointer<Listener> listener;
        QPointer<QTcpSocket> socket;
        std::string remoteHostIP;
        bool closeRaised = false;
        // Text handed to SendData that the socket has not taken yet. The
        // socket is fed from here a slice at a time, so that a large answer
        // is never copied whole into a second buffer.
        std::deque<std::string> outgoing;
        std::size_t outgoingOffset = 0;
    };

    Element* element(SlotNumber slot);
    [[nodiscard]] const Element* element(SlotNumber slot) const;
    void incomingConnection(SlotNumber slot, ConnectionRequestId requestId);
    void raiseClose(SlotNumber slot);
    void closeListener(Element& element);
    void closeConnection(Element& element);
    // Moves queued text into the socket while it holds less than a slice.
    static void feedSocket(Element& element, std::size_t limit);

    SocketEvents* m_events = nullptr;
    std::unordered_map<SlotNumber, Element> m_elements;
    // Accepted by the system, not yet taken over by an element.
    std::unordered_set<ConnectionRequestId> m_waiting;
};
