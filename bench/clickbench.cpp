// The window's responsiveness while it serves, for bench/run. It opens the
// real main window (settings from FOLDER/Tarnwick.ini), which starts the
// server; bench/run puts load on it meanwhile. Then:
//  1. for PROBE_SECONDS, from half a second after the start, every 10 ms another thread posts an event to the
//     window's thread; its handler clicks into the activity log (press and
//     release, sent as the mouse would). The round trip is from the post to
//     the end of the click's handling: the wait behind socket work plus the
//     click itself.
//  2. 1,000,000 entries are appended to the same activity log through a log
//     relay, 1,000 per event-loop turn as a busy server would, standard
//     output sent to /dev/null; the time per turn is kept to show whether it
//     grows with the log.
// Results go to RESULT_FILE as "key value" lines.
#include "ActivityLog.h"
#include "ActivityLogView.h"
#include "LogRelay.h"
#include "frmTarnwick.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double sinceMs(Steady::time_point from)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - from).count();
}

class ProbeEvent final : public QEvent {
public:
    static inline const QEvent::Type kType = static_cast<QEvent::Type>(QEvent::registerEventType());
    explicit ProbeEvent(Steady::time_point posted)
        : QEvent(kType)
        , posted(posted)
    {
    }
    Steady::time_point posted;
};

class Prober final : public QObject {
public:
    explicit Prober(QWidget* target)
        : m_target(target)
    {
    }

    bool event(QEvent* event) override
    {
        if (event->type() != ProbeEvent::kType)
            return QObject::event(event);
        const auto posted = static_cast<ProbeEvent*>(event)->posted;
        const QPointF at(20, 10);
        QMouseEvent press(QEvent::MouseButtonPress, at, m_target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, m_target->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_target, &press);
        QApplication::sendEvent(m_target, &release);
        std::lock_guard lock(mutex);
        roundTrips.push_back(sinceMs(posted));
        return true;
    }

    std::mutex mutex;
    std::vector<double> roundTrips;

private:
    QWidget* m_target;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5)];
}

long rssKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: clickbench FOLDER PROBE_SECONDS RESULT_FILE\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const double probeSeconds = std::clamp(std::atof(argv[2]), 0.1, 60.0);
    std::ofstream result(argv[3]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    frmTarnwick window(folder + "/Tarnwick.ini");
    window.show();
    if (!window.server().isListening()) {
        std::fprintf(stderr, "clickbench: the server did not start\n");
        return 1;
    }
    std::fprintf(stderr, "clickbench: listening on %u\n", window.server().listeningPort());

    Prober prober(window.activityLog()->viewport());
    std::atomic<bool> probing = true;
    std::thread poster([&] {
        // The load starts when the port answers; give it a moment to build up.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto end = Steady::now() + std::chrono::duration<double>(probeSeconds);
        auto next = Steady::now();
        while (Steady::now() < end) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            QCoreApplication::postEvent(&prober, new ProbeEvent(Steady::now()));
        }
        probing = false;
    });
    // Runs the window as main() would, until the probes are all answered.
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!probing)
            application.quit();
    });
    stopper.start(20);
    application.exec();
    poster.join();
    QCoreApplication::sendPostedEvents(&prober);
    {
        std::lock_guard lock(prober.mutex);
        const auto& trips = prober.roundTrips;
        result << "click_count " << trips.size() << "\n";
        result << "click_p50_ms " << percentile(trips, 50) << "\n";
        result << "click_p99_ms " << percentile(trips, 99) << "\n";
        result << "click_max_ms " << (trips.empty() ? 0 : *std::max_element(trips.begin(), trips.end())) << "\n";
    }
    window.server().stopListening();

    // Phase 2: the log alone, through a relay of its own like the one the
    // engine writes to, its standard output thrown away.
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ActivityLogView* log = window.activityLog();
    LogRelay relay(*log, devNull);
    std::tm stamp{};
    stamp.tm_mday = 1;
    stamp.tm_year = 125;
    const std::string entry = formatLogEntry(stamp, "127.0.0.1", "/srv/games/some-game-name.jad");
    constexpr int kTurns = 1000;
    constexpr int kPerTurn = 1000;
    std::vector<double> turnMs;
    turnMs.reserve(kTurns);
    const long rssBefore = rssKiB("VmRSS:");
    const std::uint64_t seenBefore = log->entryCount() + log->droppedCount();
    const auto all = Steady::now();
    for (int turn = 0; turn < kTurns; ++turn) {
        const auto start = Steady::now();
        for (int i = 0; i < kPerTurn; ++i)
            relay.appendEntry(entry);
        QCoreApplication::processEvents();
        turnMs.push_back(sinceMs(start));
    }
    // The relay hands entries over once a frame: the last ones are waited for.
    while (log->entryCount() + log->droppedCount() < seenBefore + std::uint64_t{kTurns} * kPerTurn)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double totalMs = sinceMs(all);
    result << "log_total_s " << totalMs / 1000.0 << "\n";
    result << "log_us_per_entry " << totalMs * 1000.0 / (kTurns * kPerTurn) << "\n";
    // The typical turn at the start and at the end of the 10^6 entries.
    const auto tenth = static_cast<std::ptrdiff_t>(turnMs.size() / 10);
    result << "log_first_turn_ms " << percentile({turnMs.begin(), turnMs.begin() + tenth}, 50) << "\n";
    result << "log_last_turn_ms " << percentile({turnMs.end() - tenth, turnMs.end()}, 50) << "\n";
    result << "log_p99_turn_ms " << percentile(turnMs, 99) << "\n";
    result << "log_max_turn_ms " << *std::max_element(turnMs.begin(), turnMs.end()) << "\n";
    result << "log_rss_growth_mib " << (rssKiB("VmRSS:") - rssBefore) / 1024.0 << "\n";
    result << "log_entries_kept " << log->entryCount() << "\n";
    return 0;
}
