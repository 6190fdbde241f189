// The request service fed what peers may send on several connections at
// once, cut anywhere, with peers that stop and start reading and closed
// connections in between, over a real game directory.
//
// Input: the bytes the peers send, optionally followed by "\n@@\n" and a
// script of one-byte steps. Without the script everything arrives on one
// connection at once, so a plain request is a seed as it is. A step byte c
// acts on connection (c >> 3) % 3:
//   c % 8 == 0, 1  the next n stream bytes arrive (n = next script byte;
//                  the rest of the stream when the script ends)
//           2      the next n stream bytes wait on the socket, unannounced
//           3      an arrival event with nothing new; with bit 7 set, on a
//                  connection released before
//           4      the harness looks at what the service took (high bit:
//                  the peers stop reading what they are sent, or take all
//                  of it at once)
//           5      the same as 4 without the high bit
//           6      the peer closes the connection
//           7      (k % 72) KiB of byte f arrive (k, f = next script bytes),
//                  up to 256 KiB in all: enough to pass the header limit
//                  and the buffer's compaction, cheap enough to stay fast;
//                  with bit 7 set they wait on the socket, unannounced
// Whatever is left of the stream then arrives on connection 0, and the event
// loop runs until it is idle.
//
// Every answer is checked against the requests that were complete on its
// connection, as the harness frames and reads them itself: GETs and the
// install reports that POSTs carry.

#include "RequestService.h"

#include "ChunkedBody.h"
#include "FakeSocketControl.h"
#include "MemoryLog.h"
#include "ReportAddresses.h"
#include "TempDirectory.h"
#include "clsHttp.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kSlots = 3;
constexpr std::string_view kScriptMark = "\n@@\n";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::size_t kMaxFloodBytes = 256 * 1024;

// Held by a file outside the game directory and by a hidden one inside it;
// no response may ever carry either.
constexpr std::string_view kOutsideMarker = "outside-7c0d3f19a2e54b68";
constexpr std::string_view kHiddenMarker = "hidden-51e8b2d07f9c43a6";

constexpr std::string_view kOk = "HTTP/1.0 200 OK";
constexpr std::string_view kBadRequest = "HTTP/1.0 400 Bad Request";
constexpr std::string_view kNotFound = "HTTP/1.0 404 Not Found";

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "service_fuzzer: %s\n", what.c_str());
    std::abort();
}

// Kept in builds with NDEBUG, unlike assert.
void require(bool condition, const std::string& what)
{
    if (!condition)
        fail(what);
}

struct GameFile {
    std::string requestPath;
    std::string contents;
    std::string type;
};

// Bytes of every value, no two files alike.
std::string archiveBytes(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    for (auto& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// Made once per process: a few games, a subfolder, a hidden file, and a
// file beside the game directory.
class Games {
public:
    Games()
        : dir((root.path() / "games").string())
    {
        root.write("outside.txt", "not for phones: " + std::string(kOutsideMarker) + "\n");
        root.write("games/.hidden", "private: " + std::string(kHiddenMarker) + "\n");
        add("/app.jad", "text/vnd.sun.j2me.app-descriptor",
            "MIDlet-Name: Demo\r\nMIDlet-Vendor: Tarnwick\r\nMIDlet-Version: 1.0\r\n"
            "MIDlet-Jar-URL: app.jar\r\nMIDlet-Jar-Size: 3000\r\nMIDlet-1: Demo, , Demo\r\n");
        // A multiple of the read piece size, and one that is not.
        add("/app.jar", "application/java-archive", archiveBytes(3000, 1));
        add("/sub/level.jar", "application/java-archive", archiveBytes(1234, 2));
        // Large enough to be read over several turns of the event loop.
        add("/big.jar", "application/java-archive", archiveBytes(70000, 3));
        add("/index.html", "text/html", "<html><body><a href=\"app.jad\">Demo</a></body></html>");
        add("/readme.txt", "text/html", "Install app.jad from the phone's browser.\n");
        add("/empty.jad", "text/vnd.sun.j2me.app-descriptor", "");
        for (const auto& file : files) {
            require(file.contents.find(kOutsideMarker) == std::string::npos
                        && file.contents.find(kHiddenMarker) == std::string::npos,
                    "a game file holds a marker");
        }
    }

    const GameFile* find(std::string_view requestPath) const
    {
        for (const auto& file : files) {
            if (file.requestPath == requestPath)
                return &file;
        }
        return nullptr;
    }

    const GameFile* withContents(std::string_view contents) const
    {
        for (const auto& file : files) {
            if (file.contents == contents)
                return &file;
        }
        return nullptr;
    }

    TempDirectory root;
    std::string dir;
    std::vector<GameFile> files;

private:
    void add(std::string requestPath, std::string type, std::string contents)
    {
        root.write("games" + requestPath, contents);
        files.push_back({std::move(requestPath), std::move(contents), std::move(type)});
    }
};

const Games& games()
{
    static const Games instance;
    return instance;
}

// Paths that must not be served, most of them to things that exist.
bool isRefusedPath(std::string_view path)
{
    for (std::string_view refused : {"/.hidden", "/sub", "/../outside.txt", "/sub/../app.jad", "/missing.jad"}) {
        if (path == refused)
            return true;
    }
    return false;
}

// The answer a complete request calls for.
struct Expected {
    enum class Kind { File, NotFound, BadRequest, AnyGet, Report } kind;
    const GameFile* file = nullptr;
};

struct ParsedResponse {
    std::string_view status;
    std::string_view type;
    std::string_view body;
};

// Cuts the next response off the front of what a connection sent, the way a
// client does: the head up to the blank line, then as many bytes as its
// Content-Length says. How the sends were split up does not matter, and a
// wrong length shows as a body too short, or as stray bytes where the next
// response should begin.
ParsedResponse takeResponse(std::string_view& sent, const std::string& where)
{
    const auto headerEnd = sent.find(kBlankLine);
    require(headerEnd != std::string_view::npos, "bytes that are no response" + where);
    std::string_view header = sent.substr(0, headerEnd);
    ParsedResponse parsed;
    parsed.status = header.substr(0, header.find(kCrLf));
    require(parsed.status.starts_with("HTTP/1.0 "), "no status line where a response should begin" + where);
    std::optional<std::string_view> length;
    while (!header.empty()) {
        const auto end = header.find(kCrLf);
        const std::string_view line = header.substr(0, end);
        if (line.starts_with("Content-Length:"))
            length = line.substr(15);
        else if (line.starts_with("Content-type:"))
            parsed.type = line.substr(13);
        header = end == std::string_view::npos ? std::string_view{} : header.substr(end + kCrLf.size());
    }
    require(length.has_value(), "a response without Content-Length" + where);
    std::size_t bodySize = 0;
    const auto [end, error] = std::from_chars(length->data(), length->data() + length->size(), bodySize);
    require(error == std::errc{} && end == length->data() + length->size(),
            "Content-Length is no number: " + std::string(*length) + where);
    const std::size_t bodyStart = headerEnd + kBlankLine.size();
    require(sent.size() - bodyStart >= bodySize,
            "Content-Length " + std::string(*length) + " for a body of " + std::to_string(sent.size() - bodyStart)
                + " bytes" + where);
    parsed.body = sent.substr(bodyStart, bodySize);
    sent.remove_prefix(bodyStart + bodySize);
    return parsed;
}

void checkAnswer(const ParsedResponse& response, const Expected& expected, const std::string& where)
{
    switch (expected.kind) {
    case Expected::Kind::File:
        require(response.status == kOk, "a game file was not served: " + expected.file->requestPath + where);
        require(response.body == expected.file->contents,
                "another body than that of " + expected.file->requestPath + where);
        require(response.type == expected.file->type,
                "wrong type for " + expected.file->requestPath + where);
        break;
    case Expected::Kind::NotFound:
        require(response.status == kNotFound, "a refused path was not answered Not Found" + where);
        break;
    case Expected::Kind::BadRequest:
        require(response.status == kBadRequest, "a bad request was answered " + std::string(response.status) + where);
        break;
    case Expected::Kind::Report:
        require(response.status == kOk && response.body.empty(), "an install report was not answered empty" + where);
        break;
    case Expected::Kind::AnyGet:
        // Other spellings may name a game ("//app.jad"); nothing else exists.
        if (response.status == kOk)
            require(games().withContents(response.body) != nullptr, "served a body that is no game's" + where);
        else
            require(response.status == kNotFound, "a GET answered " + std::string(response.status) + where);
        break;
    }
}

// The framing of ReceiveBuffer read the slow way: the whole pending text
// searched anew every time, so that the buffer's bookkeeping across pieces
// has something to be held against.
struct Framing {
    Framing(ReceiveBuffer::Status status, std::size_t size = 0, std::string body = {})
        : status(status)
        , size(size)
        , body(std::move(body))
    {
    }

    ReceiveBuffer::Status status;
    std::size_t size;
    // A chunked body decoded; else the body as it came.
    std::string body;
};

// A chunked body decoded anew from its first byte every time, against the
// buffer's decoding that resumes where the last arrival left it.
Framing frameChunked(std::string_view pending, std::size_t headerSize)
{
    using Status = ReceiveBuffer::Status;
    ChunkedBody body(static_cast<std::size_t>(ReceiveBuffer::kMaxBodyBytes));
    switch (body.decode(pending.substr(headerSize))) {
    case ChunkedBody::Status::Incomplete:
        return {Status::Incomplete};
    case ChunkedBody::Status::Malformed:
        return {Status::BadChunkedBody};
    case ChunkedBody::Status::TooLarge:
        return {Status::BodyTooLarge};
    case ChunkedBody::Status::Complete:
        break;
    }
    return {Status::Complete, headerSize + body.size(), body.takeData()};
}

Framing frame(std::string_view pending)
{
    using Status = ReceiveBuffer::Status;
    const auto blankLine = pending.find(kBlankLine);
    if (blankLine == std::string_view::npos)
        return {pending.size() >= ReceiveBuffer::kMaxHeaderBytes ? Status::HeaderTooLarge : Status::Incomplete};
    const std::size_t headerSize = blankLine + kBlankLine.size();
    if (headerSize > ReceiveBuffer::kMaxHeaderBytes)
        return {Status::HeaderTooLarge};
    if (isChunked(pending.substr(0, blankLine)))
        return frameChunked(pending, headerSize);
    clsHttp header;
    header.m_MessageHeader = std::string(pending.substr(0, blankLine));
    const std::string value = header.getProperty("Content-Length");
    std::int32_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (value.empty() || value.front() == '-' || error != std::errc{} || end != value.data() + value.size())
        return {Status::BadContentLength};
    if (length > ReceiveBuffer::kMaxBodyBytes)
        return {Status::BodyTooLarge};
    const std::size_t size = headerSize + static_cast<std::size_t>(length);
    if (pending.size() < size)
        return {Status::Incomplete};
    return {Status::Complete, size, std::string(pending.substr(headerSize, static_cast<std::size_t>(length)))};
}

// A body that reports an install: a code from 900 to 912 and no fourth digit.
bool isInstallReport(std::string_view body)
{
    const auto digit = [&](std::size_t at) { return at < body.size() && body[at] >= '0' && body[at] <= '9'; };
    if (!digit(0) || !digit(1) || !digit(2) || digit(3))
        return false;
    const int code = std::stoi(std::string(body.substr(0, 3)));
    return code >= 900 && code <= 912;
}

// One connection as the harness sees it: what arrived and is not yet a
// request, and the answers the requests so far call for.
struct Connection {
    std::string pending;
    // Delivered to the socket and not yet seen by the model: the service may
    // take it before its arrival is announced.
    std::string unmodeled;
    bool closing = false;
    bool released = false;
    std::vector<Expected> expected;
};

// The games' records and the worker that reads folders, made once per
// process: a session serves plain files, which never needs them.
GameRecords& records()
{
    static GameRecords kept;
    return kept;
}

GameWorker& worker()
{
    static GameWorker kept;
    return kept;
}

class Session {
public:
    explicit Session(const Games& games)
        : m_log(m_sink, m_sockets, m_clock)
        , m_service(m_sockets, m_log, records(), worker(), [this](SlotNumber slot) { release(slot, true); })
    {
        m_service.setGameDirectory(games.dir);
    }

    SlotNumber slot(std::size_t index)
    {
        SlotNumber& number = m_slots.at(index % kSlots);
        if (number == 0 || m_connections.at(number).released) {
            number = ++m_lastSlot;
            m_sockets.Load(number);
            m_sockets.elements.at(number).state = SocketState::Connected;
            m_service.addConnection(number);
            m_connections[number];
        }
        return number;
    }

    void deliver(SlotNumber number, std::string_view data)
    {
        m_sockets.elements.at(number).incoming.append(data);
        m_connections.at(number).unmodeled.append(data);
    }

    void arrival(SlotNumber number)
    {
        Connection& connection = m_connections.at(number);
        // Announced data is the service's to answer, now or once its peer has
        // taken earlier answers; the model takes it at once.
        model(connection);
        m_service.takeArrivedData(number);
        noticeTaken();
        if (!connection.released)
            checkBuffer(number, connection, false);
    }

    void arrivalOnReleased()
    {
        if (m_lastReleased != 0)
            m_service.takeArrivedData(m_lastReleased);
    }

    void idle() { noticeTaken(); }

    // The peer closed: the owner releases the slot as after a framing error.
    void peerClosed(SlotNumber number) { release(number, false); }

    bool flood(std::size_t bytes)
    {
        if (m_flooded + bytes > kMaxFloodBytes)
            return false;
        m_flooded += bytes;
        return true;
    }

    // Peers stop taking what they are sent, or take all of it at once.
    void togglePeersReading()
    {
        m_sockets.peersDoNotRead = !m_sockets.peersDoNotRead;
        if (!m_sockets.peersDoNotRead)
            peersTakeEverything();
    }

    void finish()
    {
        idle();
        m_sockets.peersDoNotRead = false;
        peersTakeEverything();
        idle();
        for (auto& [number, connection] : m_connections) {
            if (connection.released)
                continue;
            checkAnswers(number, connection, true);
            checkBuffer(number, connection, true);
        }
        for (const auto& entry : m_sink.entries()) {
            require(entry.ends_with(kCrLf), "a log entry without its line end");
            const std::string_view text(entry.data(), entry.size() - kCrLf.size());
            for (const char c : text) {
                const auto byte = static_cast<unsigned char>(c);
                require(byte >= 0x20 && byte != 0x7F, "a control character in a log entry");
            }
        }
    }

private:
    // A connection held up by its peer goes on.
    void peersTakeEverything()
    {
        for (auto& [number, connection] : m_connections) {
            if (connection.released)
                continue;
            m_sockets.elements.at(number).unsent = 0;
            m_service.resumeAfterSending(number, 0);
            noticeTaken();
        }
    }

    void model(Connection& connection)
    {
        // After a framing error the service drops what comes.
        if (!connection.closing)
            expect(connection, connection.unmodeled);
        connection.unmodeled.clear();
    }

    // The service takes whatever waits on a socket when it goes on with a
    // held-up connection, announced or not.
    void noticeTaken()
    {
        for (auto& [number, connection] : m_connections) {
            if (!connection.released && !connection.unmodeled.empty() && m_sockets.elements.at(number).incoming.empty())
                model(connection);
        }
    }

    void expect(Connection& connection, std::string_view data)
    {
        connection.pending.append(data);
        for (;;) {
            const Framing framing = frame(connection.pending);
            if (framing.status == ReceiveBuffer::Status::Incomplete)
                break;
            if (framing.status != ReceiveBuffer::Status::Complete) {
                connection.expected.push_back({Expected::Kind::BadRequest});
                connection.closing = true;
                break;
            }
            const std::string request = connection.pending.substr(0, framing.size);
            connection.pending.erase(0, framing.size);

            clsHttp message;
            try {
                message.importMessage(request);
            } catch (const std::invalid_argument&) {
                connection.expected.push_back({Expected::Kind::BadRequest});
                continue;
            } catch (const std::out_of_range&) {
                connection.expected.push_back({Expected::Kind::BadRequest});
                continue;
            }
            // The server's own report addresses take whatever is posted to them.
            if (message.m_Method == "POST"
                && (ReportAddresses::isReportPath(message.m_destFile) || isInstallReport(framing.body)))
                connection.expected.push_back({Expected::Kind::Report});
            if (message.m_Method != "GET")
                continue;
            if (const GameFile* file = games().find(message.m_destFile))
                connection.expected.push_back({Expected::Kind::File, file});
            else if (isRefusedPath(message.m_destFile))
                connection.expected.push_back({Expected::Kind::NotFound});
            else
                connection.expected.push_back({Expected::Kind::AnyGet});
        }
    }

    // What the service and its socket hold ends with what has not become a
    // request yet; before that may stand requests of a connection held up by
    // its peer. Once everything has gone out, it is exactly that. A large
    // pending body is compared by size alone, or a long run of small pieces
    // would spend its time comparing megabytes.
    void checkBuffer(SlotNumber number, const Connection& connection, bool exact) const
    {
        const ReceiveBuffer* buffer = m_service.txtReceivedData(number);
        require(buffer != nullptr, "no receive buffer for slot " + std::to_string(number));
        // A connection held up by its peer reaches its framing error later
        // than the model, which drops what comes after it at once.
        if (connection.closing && !exact)
            return;
        const std::string held = std::string(buffer->text()) + m_sockets.elements.at(number).incoming;
        const std::string tail = connection.pending + connection.unmodeled;
        const std::string where = "slot " + std::to_string(number);
        require(exact ? held.size() == tail.size() : held.size() >= tail.size(),
                where + " holds " + std::to_string(held.size()) + " bytes where " + std::to_string(tail.size())
                    + " are not yet a request");
        if (tail.size() <= ReceiveBuffer::kMaxHeaderBytes)
            require(held.ends_with(tail), where + " holds other bytes");
    }

    // Answers leave in request order, one for each request that calls for
    // one; all of them once the connection is done with.
    void checkAnswers(SlotNumber number, const Connection& connection, bool complete)
    {
        const std::string sent = m_sockets.sentOn(number);
        for (std::string_view marker : {kOutsideMarker, kHiddenMarker}) {
            require(sent.find(marker) == std::string::npos,
                    "sent the bytes of a file that must not be served: " + std::string(marker));
        }
        std::string_view rest = sent;
        std::size_t answers = 0;
        for (; !rest.empty(); ++answers) {
            const std::string where = " (slot " + std::to_string(number) + ", answer " + std::to_string(answers) + ")";
            require(answers < connection.expected.size(),
                    "more answers than requests: " + std::to_string(connection.expected.size()) + where);
            const ParsedResponse response = takeResponse(rest, where);
            checkAnswer(response, connection.expected[answers], where);
        }
        require(!complete || answers == connection.expected.size(),
                "slot " + std::to_string(number) + ": only " + std::to_string(answers) + " of "
                    + std::to_string(connection.expected.size()) + " answers sent");
    }

    void release(SlotNumber number, bool byService)
    {
        const auto found = m_connections.find(number);
        require(found != m_connections.end() && !found->second.released,
                "released slot " + std::to_string(number) + " that is not in use");
        Connection& connection = found->second;
        // The request that broke the framing may have been taken from the
        // socket without an arrival of its own.
        if (byService)
            noticeTaken();
        // After a framing error the service closes only once every answer is out.
        if (byService)
            require(connection.closing, "the service released a slot without a framing error");
        checkAnswers(number, connection, byService);
        if (m_sockets.State(number) != SocketState::Closed)
            m_sockets.Close(number);
        m_sockets.Unload(number);
        m_service.removeConnection(number);
        connection.released = true;
        m_lastReleased = number;
    }

    FakeSocketControl m_sockets;
    MemoryLog m_sink;
    FixedClock m_clock;
    ActivityLog m_log;
    RequestService m_service;
    std::array<SlotNumber, kSlots> m_slots{};
    std::map<SlotNumber, Connection> m_connections;
    SlotNumber m_lastSlot = 0;
    SlotNumber m_lastReleased = 0;
    std::size_t m_flooded = 0;
};

class Script {
public:
    explicit Script(std::string_view steps)
        : m_steps(steps)
    {
    }
    bool done() const { return m_steps.empty(); }
    std::optional<std::uint8_t> next()
    {
        if (m_steps.empty())
            return std::nullopt;
        const auto byte = static_cast<std::uint8_t>(m_steps.front());
        m_steps.remove_prefix(1);
        return byte;
    }

private:
    std::string_view m_steps;
};

std::string_view cut(std::string_view& stream, std::optional<std::uint8_t> length)
{
    const std::size_t size = length ? std::min<std::size_t>(*length, stream.size()) : stream.size();
    const std::string_view piece = stream.substr(0, size);
    stream.remove_prefix(size);
    return piece;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    (void)games();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto mark = input.rfind(kScriptMark);
    std::string_view stream = input.substr(0, mark);
    Script script(mark == std::string_view::npos ? std::string_view{} : input.substr(mark + kScriptMark.size()));

    Session session(games());
    while (const auto step = script.next()) {
        const std::size_t index = (*step >> 3) % kSlots;
        switch (*step % 8) {
        case 0:
        case 1: {
            const SlotNumber slot = session.slot(index);
            session.deliver(slot, cut(stream, script.next()));
            session.arrival(slot);
            break;
        }
        case 2:
            session.deliver(session.slot(index), cut(stream, script.next()));
            break;
        case 3:
            if (*step & 0x80)
                session.arrivalOnReleased();
            else
                session.arrival(session.slot(index));
            break;
        case 4:
            if (*step & 0x80)
                session.togglePeersReading();
            else
                session.idle();
            break;
        case 5:
            session.idle();
            break;
        case 6:
            session.peerClosed(session.slot(index));
            break;
        case 7: {
            const std::size_t bytes = std::size_t{script.next().value_or(0)} % 72 * 1024;
            const char filler = static_cast<char>(script.next().value_or(' '));
            if (bytes == 0 || !session.flood(bytes))
                break;
            const SlotNumber slot = session.slot(index);
            session.deliver(slot, std::string(bytes, filler));
            if (!(*step & 0x80))
                session.arrival(slot);
            break;
        }
        }
    }
    if (!stream.empty()) {
        const SlotNumber slot = session.slot(0);
        session.deliver(slot, stream);
        session.arrival(slot);
    }
    session.finish();
    return 0;
}
