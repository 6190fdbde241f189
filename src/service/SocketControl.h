#pragma once

#include "FileBody.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A connection slot's number: the index of its socket element and receive
// buffer. Slot 0 is the listener. Numbers are never reused within a run, so
// they are wide enough never to run out.
using SlotNumber = std::int64_t;

// Names a connection that waits on the listener until an element accepts it.
using ConnectionRequestId = std::intptr_t;

// What an element is doing. The values are the socket control's own state
// codes, so that a state logged or compared as a number means what it
// always meant.
enum class SocketState : std::int16_t {
    Closed = 0,
    Listening = 2,
    Connected = 7,
};

// What the socket array reports, each with the element's slot number.
class SocketEvents {
public:
    virtual void wsServer_ConnectionRequest(SlotNumber slot, ConnectionRequestId requestId) = 0;
    virtual void wsServer_DataArrival(SlotNumber slot, std::int64_t bytesTotal) = 0;
    // Some of what was handed to SendData and SendFile has gone out; `bytesRemaining` is
    // what is still waiting to be sent.
    virtual void wsServer_SendProgress(SlotNumber slot, std::int64_t bytesSent, std::int64_t bytesRemaining) = 0;
    // The connection is over: the peer closed it after every answer it was
    // handed went out (a peer that only shut its sending side still gets
    // them all), or it broke.
    virtual void wsServer_Close(SlotNumber slot) = 0;
    // Something went wrong on the element that no call could report, such as
    // a connection the system refused to accept.
    virtual void wsServer_Error(SlotNumber slot, int number, const std::string& description) = 0;
    // A file body handed to SendFile did not go out whole: the connection
    // ended (the peer closed it or it broke) after `bytesSent` of its `size`
    // bytes, or the file came to its end early because it shrank
    // (`fileShrank`), which also ends the connection. Raised before the
    // connection's close.
    virtual void wsServer_FileCutShort(SlotNumber slot, const std::string& path, std::int64_t bytesSent,
                                       std::int64_t size, bool fileShrank) = 0;
    // Some of a file body handed to SendFile went out: `bytesSent` of its
    // `size` bytes so far. Raised as slices of it go out, and once it went
    // out whole (`bytesSent` equal to `size`).
    virtual void wsServer_FileProgress(SlotNumber slot, const std::string& path, std::int64_t bytesSent,
                                       std::int64_t size) = 0;
    // The listener `slot` cannot take a waiting connection without using
    // up the last descriptors: lets go of files kept open for later
    // requests or closes connections that can go, to make room, and returns
    // how many it let go of (none: the connection waits).
    virtual std::size_t wsServer_DescriptorsShort(SlotNumber slot) = 0;

protected:
    ~SocketEvents() = default;
};

// The indexed array of TCP socket elements, addressed by slot number.
// Element 0 exists from the start; the others are loaded and unloaded by the
// owner and start closed. Received and sent text is bytes: every byte value
// goes through unchanged.
class SocketControl {
public:
    virtual ~SocketControl() = default;

    virtual void setEventHandler(SocketEvents* events) = 0;

    virtual void Load(SlotNumber slot) = 0;
    virtual void Unload(SlotNumber slot) = 0;

    [[nodiscard]] virtual SocketState State(SlotNumber slot) const = 0;
    // Closes the element, which stays loaded. Text already handed to SendData
    // still goes out before a connection is closed.
    virtual void Close(SlotNumber slot) = 0;
    // Closes a connection at once, dropping whatever is still queued and
    // without waiting for the peer: for a connection given up on, whose
    // descriptor is wanted back now. The element stays loaded.
    virtual void Drop(SlotNumber slot) = 0;
    virtual void LocalPort(SlotNumber slot, std::int32_t port) = 0;
    // Listens on LocalPort on every IPv4 address; on failure returns false
    // and says why in `error`.
    [[nodiscard]] virtual bool Listen(SlotNumber slot, std::string& error) = 0;
    // This closed element takes over the waiting connection.
    virtual void Accept(SlotNumber slot, ConnectionRequestId requestId) = 0;
    // Everything received and not yet taken. What is not taken stays with the
    // element, which then stops reading from the peer once it holds a little:
    // the peer's sending is held up rather than this side's memory growing.
    [[nodiscard]] virtual std::string GetData(SlotNumber slot) = 0;
    // Queues the text for sending after earlier sends; never blocks.
    virtual void SendData(SlotNumber slot, std::string data) = 0;
    // Queues `head` and then `body.size` bytes of the file from `body.offset`,
    // sent from the file a slice at a time: the file is never held in memory.
    // A file that has grown is sent at its announced size.
    virtual void SendFile(SlotNumber slot, std::string head, FileBody body) = 0;
    // What was handed to SendData and SendFile and has not gone out yet: a
    // peer that does not read lets this grow.
    [[nodiscard]] virtual std::int64_t unsentBytes(SlotNumber slot) const = 0;
    // How many of the texts and files handed over have not gone out whole.
    // Each file handed over stays open until then.
    [[nodiscard]] virtual std::size_t unsentAnswers(SlotNumber slot) const = 0;
    // The peer's address in dotted form.
    [[nodiscard]] virtual std::string RemoteHostIP(SlotNumber slot) const = 0;
    // The address and port a connection was accepted on, as "192.168.1.5:8080":
    // this server as the peer reached it.
    [[nodiscard]] virtual std::string localAddress(SlotNumber slot) const = 0;
};
