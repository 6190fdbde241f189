#pragma once

#include "ServerCore.h"

#include "FakeSocketControl.h"
#include "HttpText.h"
#include "MemoryLog.h"
#include "TempDirectory.h"

#include <string>

// The request service wired as in the program, over a real folder, with
// the network and the clock in the test's hands; slots 1 to 3 are open.
class ServiceHarness {
protected:
    // `sources` are what the games are read with.
    explicit ServiceHarness(RecordSources sources = {})
        : core(sockets, sink, clock, [] { return std::chrono::steady_clock::now(); }, std::move(sources))
        , service(core.service())
    {
        service.setGameDirectory(games.string());
        for (SlotNumber slot : {1, 2, 3}) {
            sockets.Load(slot);
            sockets.elements[slot].state = SocketState::Connected;
            service.addConnection(slot);
        }
    }

    // Data for a released slot is announced with nothing to take.
    void arrive(SlotNumber slot, const std::string& data)
    {
        if (const auto found = sockets.elements.find(slot); found != sockets.elements.end())
            found->second.incoming += data;
        service.takeArrivedData(slot);
    }

    TempDirectory games;
    FakeSocketControl sockets;
    MemoryLog sink;
    FixedClock clock;
    ServerCore core;
    RequestService& service;
};
