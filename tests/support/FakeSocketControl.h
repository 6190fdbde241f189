#pragma once

#include "SocketControl.h"

#include <map>
#include <utility>
#include <string>
#include <vector>

// The socket array in memory: what a test feeds in is what GetData hands
// over, and every send is recorded per slot.
class FakeSocketControl final : public SocketControl {
public:
    struct Element {
        SocketState state = SocketState::Closed;
        std::int32_t localPort = 0;
        std::string incoming;
        std::vector<std::string> sent;
        std::string remoteHostIP = "10.0.0.1";
        int closeCalls = 0;
        // What a peer that does not read leaves unsent.
        std::int64_t unsent = 0;
    };

    FakeSocketControl() { elements[0]; }

    void setEventHandler(SocketEvents* handler) override { events = handler; }
    void Load(SlotNumber slot) override { elements[slot]; }
    void Unload(SlotNumber slot) override { elements.erase(slot); }
    SocketState State(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() ? SocketState::Closed : found->second.state;
    }
    void Close(SlotNumber slot) override
    {
        auto& element = elements.at(slot);
        element.state = SocketState::Closed;
        ++element.closeCalls;
        closed.push_back(slot);
    }
    void LocalPort(SlotNumber slot, std::int32_t port) override { elements.at(slot).localPort = port; }
    bool Listen(SlotNumber slot, std::string&) override
    {
        elements.at(slot).state = SocketState::Listening;
        return true;
    }
    void Accept(SlotNumber slot, ConnectionRequestId requestId) override
    {
        elements.at(slot).state = SocketState::Connected;
        accepted.emplace_back(slot, requestId);
    }
    std::string GetData(SlotNumber slot) override
    {
        const auto found = elements.find(slot);
        if (found == elements.end())
            return {};
        return std::exchange(found->second.incoming, {});
    }
    void SendData(SlotNumber slot, std::string data) override
    {
        auto& element = elements.at(slot);
        if (peersDoNotRead)
            element.unsent += static_cast<std::int64_t>(data.size());
        element.sent.push_back(std::move(data));
    }
    std::int64_t unsentBytes(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() ? 0 : found->second.unsent;
    }
    std::string RemoteHostIP(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() ? std::string() : found->second.remoteHostIP;
    }

    // Everything sent on a slot so far, as one text.
    std::string sentOn(SlotNumber slot) const
    {
        std::string all;
        for (const auto& piece : elements.at(slot).sent)
            all += piece;
        return all;
    }

    std::map<SlotNumber, Element> elements;
    std::vector<std::pair<SlotNumber, ConnectionRequestId>> accepted;
    std::vector<SlotNumber> closed;
    SocketEvents* events = nullptr;
    // When set, everything sent stays unsent until the test says otherwise.
    bool peersDoNotRead = false;
};
