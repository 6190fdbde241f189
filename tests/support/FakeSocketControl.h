#pragma once

#include "FileReading.h"
#include "SocketControl.h"

#include <algorithm>
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
        std::string remoteHostIP = "10.0.0.1";
        int closeCalls = 0;
        // What a peer that does not read leaves unsent, and in how many
        // sends; a test that lets the peer read sets `unsent` to 0.
        std::int64_t unsent = 0;
        std::size_t unsentSends = 0;
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
    void Drop(SlotNumber slot) override
    {
        elements.at(slot).state = SocketState::Closed;
        dropped.push_back(slot);
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
        if (element.unsent == 0)
            element.unsentSends = 0;
        if (peersDoNotRead) {
            element.unsent += static_cast<std::int64_t>(data.size());
            ++element.unsentSends;
        }
        sent[slot].push_back(std::move(data));
    }
    // Recorded as one send of the head and the file's bytes as they are now.
    void SendFile(SlotNumber slot, std::string head, FileBody body) override
    {
        std::string bytes(static_cast<std::size_t>(body.size), '\0');
        const std::int64_t count = readAt(body.file.get(), bytes.data(), bytes.size(), body.offset);
        bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
        filesSent.push_back(body.path);
        SendData(slot, head + bytes);
    }
    std::int64_t unsentBytes(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() ? 0 : found->second.unsent;
    }
    std::size_t unsentAnswers(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() || found->second.unsent == 0 ? 0 : found->second.unsentSends;
    }
    std::string RemoteHostIP(SlotNumber slot) const override
    {
        const auto found = elements.find(slot);
        return found == elements.end() ? std::string() : found->second.remoteHostIP;
    }
    std::string localAddress(SlotNumber) const override { return "10.0.0.2:8080"; }

    // Everything sent on a slot so far, as one text.
    std::string sentOn(SlotNumber slot) const
    {
        std::string all;
        if (const auto found = sent.find(slot); found != sent.end())
            for (const auto& piece : found->second)
                all += piece;
        return all;
    }

    std::map<SlotNumber, Element> elements;
    // Every send per slot, kept after the slot's release.
    std::map<SlotNumber, std::vector<std::string>> sent;
    std::vector<std::string> filesSent;
    std::vector<std::pair<SlotNumber, ConnectionRequestId>> accepted;
    std::vector<SlotNumber> closed;
    std::vector<SlotNumber> dropped;
    SocketEvents* events = nullptr;
    // When set, everything sent stays unsent until the test says otherwise.
    bool peersDoNotRead = false;
};
