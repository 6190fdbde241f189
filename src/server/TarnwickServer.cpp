#include "TarnwickServer.h"

#include <future>

TarnwickServer::TarnwickServer(LogSink& logSink, const Clock* clock, ReadinessBackendKind backend)
    : m_loop(backend)
    , m_wsServer(m_loop)
    , m_core(m_wsServer, logSink, clock ? *clock : m_systemClock)
    , m_thread([this] { m_loop.run(); })
{
    m_loop.post([this] { sweepLater(); });
}

void TarnwickServer::sweepLater()
{
    // Often enough that a limit of a second or two is kept to within a quarter.
    constexpr std::chrono::milliseconds kSweepInterval{250};
    m_loop.runAfter(kSweepInterval, [this] {
        m_core.slots().closeExpired();
        m_core.service().closeIdleFiles(std::chrono::steady_clock::now());
        m_core.attempts().finishOverdue();
        sweepLater();
    });
}

TarnwickServer::~TarnwickServer()
{
    m_loop.quit();
    m_thread.join();
}

template <typename Task>
auto TarnwickServer::onIoThread(Task task) const -> decltype(task())
{
    std::packaged_task<decltype(task())()> work(std::move(task));
    auto result = work.get_future();
    m_loop.post([&work] { work(); });
    return result.get();
}

bool TarnwickServer::startListening(std::int32_t port, std::string& error, ConnectionLimits limits)
{
    return onIoThread([this, port, &error, limits] {
        m_core.slots().setLimits(limits);
        if (m_wsServer.State(0) != SocketState::Closed)
            m_wsServer.Close(0);
        m_wsServer.LocalPort(0, port);
        const bool listening = m_wsServer.Listen(0, error);
        // A server that does not start holds no file of the games.
        if (!listening)
            m_core.service().releaseOpenFiles();
        return listening;
    });
}

void TarnwickServer::stopListening()
{
    onIoThread([this] {
        if (m_wsServer.State(0) != SocketState::Closed)
            m_wsServer.Close(0);
        // Files still being sent to open connections stay open until they are out.
        m_core.service().releaseOpenFiles();
    });
}

bool TarnwickServer::isListening() const
{
    return onIoThread([this] { return m_wsServer.State(0) == SocketState::Listening; });
}

std::uint16_t TarnwickServer::listeningPort() const
{
    return onIoThread([this] { return m_wsServer.boundPort(0); });
}

void TarnwickServer::setGameDirectory(std::string virtualDir)
{
    onIoThread([this, &virtualDir] { m_core.service().setGameDirectory(std::move(virtualDir)); });
}

void TarnwickServer::setGameList(bool on)
{
    onIoThread([this, on] { m_core.service().setGameList(on); });
}

void TarnwickServer::setRepairDescriptors(bool on)
{
    onIoThread([this, on] { m_core.service().setRepairDescriptors(on); });
}

void TarnwickServer::setAttemptHandler(std::function<void(const InstallAttempt&)> handler)
{
    onIoThread([this, &handler] { m_core.attempts().setChangeHandler(std::move(handler)); });
}

void TarnwickServer::resetLastSlot()
{
    onIoThread([this] { m_core.slots().resetLastSlot(); });
}

SlotNumber TarnwickServer::lastSlot() const
{
    return onIoThread([this] { return m_core.slots().lastSlot(); });
}
