// The Phones window under load, for bench/run. It opens the real main
// window (settings from FOLDER/Tarnwick.ini), which starts the server;
// bench/run puts load on it meanwhile, every request a descriptor the
// server follows as an install attempt. Then:
//  1. half a second in, an event posted to the window's thread presses
//     Phones…; the time from the post to the window shown is the opening.
//  2. for PROBE_SECONDS, every 10 ms another thread posts an event whose
//     handler clicks into the Phones table while its rows change; the round
//     trip is from the post to the end of the click's handling.
//  3. the cost of following attempts alone: 1,000,000 descriptors served to
//     one phone (each a new attempt, the one before it fetched again), each
//     change handed to a relay as the engine hands it, per request.
// Results go to RESULT_FILE as "key value" lines.
#include "AttemptRelay.h"
#include "InstallAttempts.h"
#include "PhoneAttemptsModel.h"
#include "frmPhones.h"
#include "frmTarnwick.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>
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
    ProbeEvent(Steady::time_point posted, bool open)
        : QEvent(kType)
        , posted(posted)
        , open(open)
    {
    }
    Steady::time_point posted;
    bool open;
};

class Prober final : public QObject {
public:
    explicit Prober(frmTarnwick& window)
        : m_window(window)
    {
    }

    bool event(QEvent* event) override
    {
        if (event->type() != ProbeEvent::kType)
            return QObject::event(event);
        const auto* probe = static_cast<ProbeEvent*>(event);
        if (probe->open) {
            m_window.phonesButton()->click();
            openMs = sinceMs(probe->posted);
            return true;
        }
        if (frmPhones* phones = m_window.phonesWindow())
            click(phones->table()->viewport());
        std::lock_guard lock(mutex);
        roundTrips.push_back(sinceMs(probe->posted));
        return true;
    }

    std::mutex mutex;
    std::vector<double> roundTrips;
    double openMs = -1;

private:
    static void click(QWidget* target)
    {
        const QPointF at(20, 10);
        QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }

    frmTarnwick& m_window;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5)];
}

class NoLog final : public LogSink {
public:
    void appendEntry(std::string_view) override {}
};

// Phase 3: the attempts alone, as the engine's thread follows them.
double followNsPerRequest()
{
    PhoneAttemptsModel model;
    AttemptRelay relay(model);
    NoLog sink;
    SystemClock clock;
    ActivityLog log(sink, clock);
    InstallAttempts attempts(log, clock);
    attempts.setChangeHandler([&relay](const InstallAttempt& attempt) { relay.post(attempt); });
    const InstallAttempts::Requester phone{"127.0.0.1", "", ""};
    const InstallAttempts::ServedDescriptor served{
        "/game.jad", "/srv/games/game.jad", {"Bench Game", "1.0.0", "/srv/games/game.jar", "", {"MIDP-2.0", "CLDC-1.1"}},
        false, ""};
    constexpr int kRequests = 1'000'000;
    const auto start = Steady::now();
    for (int i = 0; i < kRequests; ++i) {
        attempts.descriptorServed(phone, served);
        // The window takes its hand-overs as it would under load.
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    return sinceMs(start) * 1e6 / kRequests;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: phonesbench FOLDER PROBE_SECONDS RESULT_FILE\n");
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
        std::fprintf(stderr, "phonesbench: the server did not start\n");
        return 1;
    }
    std::fprintf(stderr, "phonesbench: listening on %u\n", window.server().listeningPort());

    Prober prober(window);
    std::atomic<bool> probing = true;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        QCoreApplication::postEvent(&prober, new ProbeEvent(Steady::now(), true));
        const auto end = Steady::now() + std::chrono::duration<double>(probeSeconds);
        auto next = Steady::now();
        while (Steady::now() < end) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            QCoreApplication::postEvent(&prober, new ProbeEvent(Steady::now(), false));
        }
        probing = false;
    });
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!probing)
            application.quit();
    });
    stopper.start(20);
    application.exec();
    poster.join();
    QCoreApplication::sendPostedEvents(&prober);
    window.server().stopListening();
    {
        std::lock_guard lock(prober.mutex);
        const auto& trips = prober.roundTrips;
        result << "phones_open_ms " << prober.openMs << "\n";
        result << "phones_click_count " << trips.size() << "\n";
        result << "phones_click_p50_ms " << percentile(trips, 50) << "\n";
        result << "phones_click_p99_ms " << percentile(trips, 99) << "\n";
        result << "phones_click_max_ms " << (trips.empty() ? 0 : *std::max_element(trips.begin(), trips.end()))
               << "\n";
        const frmPhones* phones = window.phonesWindow();
        result << "phones_rows " << (phones ? phones->table()->model()->rowCount() : 0) << "\n";
    }
    result << "follow_ns_per_request " << followNsPerRequest() << "\n";
    return 0;
}
