#pragma once

#include "RequestService.h"

#include "FakeSocketControl.h"
#include "ManualScheduler.h"
#include "MemoryLog.h"
#include "TempDirectory.h"

#include <string>
#include <vector>

// The request service over a real folder, with the network, the clock and
// the event loop in the test's hands; slots 1 to 3 are open.
class ServiceHarness {
protected:
    ServiceHarness()
        : virtualDir(games.string())
        , log(sink, sockets, clock)
        , service(sockets, log, scheduler, virtualDir, [this](SlotNumber slot) { released.push_back(slot); })
    {
        for (SlotNumber slot : {1, 2, 3}) {
            sockets.Load(slot);
            sockets.elements[slot].state = SocketState::Connected;
            service.LoadBuffer(slot);
        }
    }

    void arrive(SlotNumber slot, const std::string& data)
    {
        sockets.elements.at(slot).incoming += data;
        service.wsServer_DataArrival(slot);
    }

    TempDirectory games;
    std::string virtualDir;
    FakeSocketControl sockets;
    ManualScheduler scheduler;
    MemoryLog sink;
    FixedClock clock;
    ActivityLog log;
    RequestService service;
    std::vector<SlotNumber> released;
};
