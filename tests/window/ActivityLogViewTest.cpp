#include "ActivityLogView.h"
#include "LogLines.h"
#include "FramePacer.h"
#include "LogRelay.h"
#include "StdoutMirror.h"

#include "TempDirectory.h"
#include "WaitFor.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string entries(int first, int count)
{
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += "entry " + std::to_string(i) + "\r\n";
    return text;
}

// ---- What the view keeps -------------------------------------------------

struct BoundCase {
    const char* name;
    std::size_t maxEntries;
    std::size_t maxBytes;
    std::string appended;
    QString shown;
};

void PrintTo(const BoundCase& c, std::ostream* out)
{
    *out << c.name;
}

class ViewBound : public testing::TestWithParam<BoundCase> {};

TEST_P(ViewBound, KeepsTheNewestEntriesAndSaysHowManyWentBefore)
{
    const BoundCase& c = GetParam();
    ActivityLogView view(nullptr, c.maxEntries, c.maxBytes);
    view.appendEntries(c.appended);
    EXPECT_EQ(view.toPlainText(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewBound,
    testing::Values(
        BoundCase{"UnderTheBound", 5, 1000, "a\r\nb\r\n", "a\nb"},
        BoundCase{"AtTheBound", 3, 1000, "a\r\nb\r\nc\r\n", "a\nb\nc"},
        BoundCase{"OverTheBound", 3, 1000, entries(1, 8),
                  "5 older entries were dropped from this view\nentry 6\nentry 7\nentry 8"},
        BoundCase{"OverTheBytes", 100, 10, "abcd\r\nefgh\r\nijkl\r\n",
                  "1 older entries were dropped from this view\nefgh\nijkl"},
        BoundCase{"OneLineOverTheBytesStays", 100, 3, "abcd\r\nefghij\r\n",
                  "1 older entries were dropped from this view\nefghij"},
        BoundCase{"EmptyEntryAndEntryWithoutItsEnd", 5, 1000, "a\r\n\r\nlast", "a\n\nlast"},
        BoundCase{"AccentedText", 5, 1000, "caf\xC3\xA9\r\n", QString::fromUtf8("caf\xC3\xA9")}),
    [](const testing::TestParamInfo<BoundCase>& info) { return std::string(info.param.name); });

TEST(ViewBound, CountsOnAcrossManyHandOvers)
{
    ActivityLogView view(nullptr, 2);
    for (int i = 0; i < 5; ++i)
        view.appendEntries(entries(i, 1));
    EXPECT_EQ(view.entryCount(), 2u);
    EXPECT_EQ(view.droppedCount(), 3u);
    EXPECT_EQ(view.toPlainText(), "3 older entries were dropped from this view\nentry 3\nentry 4");
}

// Lines are packed in blocks of some thousands; reading and dropping must
// hold across block edges, with the oldest block freed as it empties.
TEST(LogLinesStore, ReadsEveryLineAcrossBlocksWhileDroppingTheOldest)
{
    LogLines lines(5000, std::size_t{1} << 30);
    for (int i = 0; i < 20000; ++i)
        lines.append("line " + std::to_string(i));
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines.dropped(), 15000u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines.at(i), "line " + std::to_string(15000 + i)) << "at " << i;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// A million entries are what a busy day leaves; holding them costs what
// they weigh, not the many times that a string or a text layout per line
// would cost.
TEST(LogLinesStore, AMillionEntriesFitIn128MiB)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers keep memory of their own beside every allocation";
#endif
    const std::string entry(88, 'x'); // an entry of 90 bytes without its CR LF
    const long before = residentKiB();
    LogLines lines(ActivityLogView::kDefaultMaxEntries, ActivityLogView::kDefaultMaxBytes);
    for (int i = 0; i < 1'000'000; ++i)
        lines.append(entry);
    ASSERT_EQ(lines.size(), 1'000'000u);
    EXPECT_LE(residentKiB() - before, 128 * 1024);
}

// ---- What the operator can do with it ------------------------------------

// The view in a window beside a button, holding more entries than it shows.
class ViewInput : public testing::Test {
protected:
    ViewInput()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        layout->addWidget(button);
        window.resize(300, 200);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        view->appendEntries(entries(0, 100));
        waitFor([&] { return scrollBar()->maximum() > 0 && scrollBar()->value() == scrollBar()->maximum(); });
    }

    QScrollBar* scrollBar() const { return view->verticalScrollBar(); }
    bool showsNewest() const { return scrollBar()->value() == scrollBar()->maximum(); }

    QWidget window;
    ActivityLogView* view = new ActivityLogView(&window);
    QPushButton* button = new QPushButton(QStringLiteral("next"), &window);
};

TEST_F(ViewInput, KeysChangeAndMoveNothing)
{
    const QString before = view->toPlainText();
    view->setFocus();
    scrollBar()->setValue(10);
    QApplication::clipboard()->setText("pasted");

    QTest::keyClicks(view, "typed");
    for (const auto key : {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Home, Qt::Key_End, Qt::Key_Up, Qt::Key_Down,
                           Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right, Qt::Key_Space})
        QTest::keyClick(view, key);
    for (const auto key : {Qt::Key_V, Qt::Key_X, Qt::Key_A, Qt::Key_Home, Qt::Key_End})
        QTest::keyClick(view, key, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Insert, Qt::ShiftModifier);
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("composed"));
    QApplication::sendEvent(view, &composed);

    EXPECT_EQ(view->toPlainText(), before);
    EXPECT_EQ(scrollBar()->value(), 10);
    EXPECT_EQ(view->horizontalScrollBar()->value(), 0);
}

TEST_F(ViewInput, PassesEnterToTheWindowAndTabToTheNextControl)
{
    view->setFocus();
    ASSERT_TRUE(view->hasFocus());
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(view, &press);
        EXPECT_FALSE(press.isAccepted()) << key;
    }
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(button->hasFocus());
}

TEST_F(ViewInput, AClickBringsTheNewestIntoViewAndOpensNoMenu)
{
    for (const auto button : {Qt::LeftButton, Qt::RightButton}) {
        scrollBar()->setValue(0);
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        QTest::mouseClick(view->viewport(), button, {}, QPoint(20, 10));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(20, 10), view->viewport()->mapToGlobal(QPoint(20, 10)));
        QApplication::sendEvent(view->viewport(), &menu);
        QApplication::processEvents();
        EXPECT_TRUE(showsNewest()) << button;
        EXPECT_EQ(view->horizontalScrollBar()->value(), 0) << button;
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << button;
    }
}

TEST_F(ViewInput, FollowsNewEntriesOnlyWhileTheNewestIsInView)
{
    view->appendEntries(entries(100, 50));
    EXPECT_TRUE(waitFor([&] { return scrollBar()->maximum() >= 140 && showsNewest(); }));

    // The operator scrolls back to read: new entries leave the view alone.
    scrollBar()->setValue(5);
    view->appendEntries(entries(150, 50));
    EXPECT_TRUE(waitFor([&] { return scrollBar()->maximum() >= 190; }));
    EXPECT_EQ(scrollBar()->value(), 5);

    // Back at the end, it follows again.
    scrollBar()->setValue(scrollBar()->maximum());
    view->appendEntries(entries(200, 50));
    EXPECT_TRUE(waitFor([&] { return scrollBar()->maximum() >= 240 && showsNewest(); }));
}

TEST_F(ViewInput, ScrollsSidewaysAsFarAsTheLongestEntry)
{
    const std::string longEntry = std::string(400, 'w') + "\r\n";
    view->appendEntries(longEntry);
    EXPECT_TRUE(waitFor([&] {
        return view->horizontalScrollBar()->maximum() + view->viewport()->width()
               >= view->fontMetrics().horizontalAdvance(QString(400, 'w'));
    }));
}

// ---- From the engine's threads to the view and standard output -----------

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Relay, BringsEveryEntryFromManyThreadsInOrderPerThread)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 5000;
    TempDirectory folder;
    const auto outputPath = folder.write("stdout", "");
    const int output = ::open(outputPath.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(output, 0);
    ActivityLogView view;
    {
        LogRelay relay(view, output);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&relay, t] {
                for (int i = 0; i < kPerThread; ++i)
                    relay.appendEntry(std::to_string(t) + " " + std::to_string(i) + "\r\n");
            });
        // The window's thread turns meanwhile, as it does while the server works.
        EXPECT_TRUE(waitFor([&] { return view.entryCount() == kThreads * kPerThread; }, 30000));
        for (auto& thread : threads)
            thread.join();
    }
    ::close(output);

    const QStringList lines = view.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), kThreads * kPerThread);
    std::vector<int> next(kThreads, 0);
    for (const QString& line : lines) {
        const QStringList parts = line.split(' ');
        ASSERT_EQ(parts.size(), 2) << line.toStdString();
        const int thread = parts[0].toInt();
        ASSERT_EQ(parts[1].toInt(), next[thread]++) << "thread " << thread;
    }
    // Standard output gets the same entries in the same order, ends of line intact.
    EXPECT_EQ(readFile(outputPath), (lines.join("\r\n") + "\r\n").toStdString());
}

// Counts what wakes the relay on the window's thread: the hand-over posted
// after a quiet spell and the turns of its frame timer, both its pacer's.
class WakeUpCounter final : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (dynamic_cast<FramePacer*>(watched) &&
            (event->type() == QEvent::MetaCall || event->type() == QEvent::Timer))
            ++count;
        return false;
    }
};

TEST(Relay, WakesTheWindowsThreadAtMostOnceAFrameAndLosesNothingAcrossBatches)
{
    constexpr int kEntries = 20000;
    const int output = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(output, 0);
    ActivityLogView view;
    {
        LogRelay relay(view, output);
        WakeUpCounter wakeUps;
        QCoreApplication::instance()->installEventFilter(&wakeUps);
        QElapsedTimer elapsed;
        elapsed.start();
        // A steady stream, as from a busy server, over a good many frames.
        std::thread writer([&relay] {
            for (int i = 0; i < kEntries; ++i) {
                relay.appendEntry(entries(i, 1));
                if (i % 20 == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
        EXPECT_TRUE(waitFor([&] { return view.entryCount() == kEntries; }, 30000));
        const qint64 frames = elapsed.elapsed() / 16;
        writer.join();
        EXPECT_LE(wakeUps.count, frames + 2) << "over " << frames << " frames";
        QCoreApplication::instance()->removeEventFilter(&wakeUps);
    }
    ::close(output);
    std::string expected = entries(0, kEntries);
    std::erase(expected, '\r');
    expected.pop_back();
    const std::string shown = view.toPlainText().toStdString();
    // Compared whole, reported by its start: the text runs to 200 kB.
    EXPECT_TRUE(shown == expected) << shown.substr(0, 200);
}

TEST(Relay, HandsTheLastEntriesToTheViewAndStandardOutputWhenItCloses)
{
    TempDirectory folder;
    const auto outputPath = folder.write("stdout", "");
    const int output = ::open(outputPath.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(output, 0);
    ActivityLogView view;
    {
        LogRelay relay(view, output);
        relay.appendEntry(entries(0, 1));
        // The first entry goes at once; from now on entries wait for the frame.
        ASSERT_TRUE(waitFor([&] { return view.entryCount() == 1; }));
        relay.appendEntry(entries(1, 999));
    }
    ::close(output);
    EXPECT_EQ(view.entryCount(), 1000u);
    EXPECT_EQ(readFile(outputPath), entries(0, 1000));
}

// A pipe of one page that the test reads only when it chooses to.
class Pipe {
public:
    Pipe()
    {
        if (::pipe2(m_ends, O_CLOEXEC) == 0)
            ::fcntl(m_ends[1], F_SETPIPE_SZ, 4096);
    }
    ~Pipe()
    {
        closeReader();
        ::close(m_ends[1]);
    }
    int writer() const { return m_ends[1]; }
    void closeReader()
    {
        if (m_ends[0] >= 0)
            ::close(m_ends[0]);
        m_ends[0] = -1;
    }
    // Reads until `until` is in what was read or nothing comes for `patienceMs`.
    std::string readUntil(std::string_view until, int patienceMs = 5000)
    {
        std::string text;
        char buffer[4096];
        pollfd readable{m_ends[0], POLLIN, 0};
        while (text.find(until) == std::string::npos && ::poll(&readable, 1, patienceMs) > 0) {
            const ssize_t got = ::read(m_ends[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

private:
    int m_ends[2] = {-1, -1};
};

TEST(Mirror, AStalledOutputHoldsNobodyUpAndTheGapIsCountedOnceItFlows)
{
    constexpr int kEntries = 3000;
    constexpr std::string_view kCountLine = " log entries were not written to standard output\r\n";
    Pipe pipe;
    std::atomic<int> ends = 0;
    StdoutMirror mirror(pipe.writer(), [&](const std::string&) { ++ends; }, 4096);

    // Nobody reads: appending still returns every time.
    auto appending = std::async(std::launch::async, [&] {
        for (int i = 0; i < kEntries; ++i)
            mirror.append(entries(i, 1));
    });
    const bool appendsReturned = appending.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // An append that waits for the output is let go by reading, so that the
    // test fails instead of hanging.
    while (appending.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        pipe.readUntil("\n", 10);
    ASSERT_TRUE(appendsReturned) << "an append waited for the output";

    // Read, the output flows again and says what it dropped; from then on
    // entries go out as they come.
    std::string text = pipe.readUntil(kCountLine);
    text += pipe.readUntil("nothing more to come", 200);
    mirror.append("after\r\n");
    text += pipe.readUntil("after\r\n");
    ASSERT_TRUE(text.ends_with("after\r\n")) << text.substr(0, 200);

    // Every entry came out in order or is counted where it is missing: the
    // entries without a gap, each gap a line with the number it left out.
    int next = 0;
    int gaps = 0;
    for (std::size_t at = 0; at < text.size() - 7;) {
        const std::size_t end = text.find("\r\n", at) + 2;
        const std::string line = text.substr(at, end - at);
        at = end;
        if (line.ends_with(kCountLine)) {
            const std::size_t number = line.rfind(" - ", line.size() - kCountLine.size()) + 3;
            next += std::stoi(line.substr(number));
            ++gaps;
        } else {
            ASSERT_EQ(line, entries(next, 1));
            ++next;
        }
    }
    EXPECT_EQ(next, kEntries);
    EXPECT_GT(gaps, 0) << "the output never stalled";
    EXPECT_EQ(ends, 0);
}

TEST(Mirror, AClosedOutputEndsTheMirrorWithOneLineInTheWindowsLog)
{
    Pipe pipe;
    pipe.closeReader();
    ActivityLogView view;
    LogRelay relay(view, pipe.writer());
    relay.appendEntry("first\r\n");
    EXPECT_TRUE(waitFor([&] { return view.toPlainText().contains("Standard output was closed by its reader"); }));

    relay.appendEntry("second\r\n");
    EXPECT_TRUE(waitFor([&] { return view.entryCount() == 3; }));
    const QStringList lines = view.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "first");
    EXPECT_TRUE(lines[1].endsWith(" - Standard output was closed by its reader: the log is no longer written there."))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "second");
}

} // namespace
