#include "InstallAttempts.h"

#include "FakeSocketControl.h"
#include "InstallStatus.h"
#include "MemoryLog.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The phones of the room: two that run every game, one that is too old.
const std::vector<InstallAttempts::Requester> kPhones{
    {"192.0.2.10", "Nokia6300/2.0 (05.00) Profile/MIDP-2.0 Configuration/CLDC-1.1", ""},
    {"192.0.2.11", "SonyEricssonK750i/R1AA Browser/SEMC-Browser/4.2 Profile/MIDP-2.0 Configuration/CLDC-1.1", ""},
    {"192.0.2.12", "Nokia3300/1.0 (4.07) Profile/MIDP-1.0 Configuration/CLDC-1.0", ""},
};

struct Game {
    std::string descriptorPath;
    ServedGame served;
    std::int64_t archiveSize;
};

// Snake is served repaired (with an address of its own for each download's
// report); Racer as it is, its descriptor naming /notify for reports.
const std::vector<Game> kGames{
    {"/snake/hello.jad", {"Snake", "1.2.0", "/g/snake/hello.jar", "", {"MIDP-2.0", "CLDC-1.1"}}, 312'004},
    {"/racer.jad", {"Racer", "1.0", "/g/racer.jar", "/notify", {"MIDP-2.0", "CLDC-1.0"}}, 1'000},
};

struct Event {
    enum class Kind { Descriptor, Archive, Sent, CutShort, Report, Wait };
    Kind kind;
    int phone = 0;
    int game = 0;
    // The offset an archive is fetched from; the bytes of the fetch sent;
    // the seconds waited.
    std::int64_t number = 0;
    // A repaired descriptor's report address; the path a report is posted to.
    std::string path;
    int code = 0;
};

Event descriptor(int phone, int game, std::string reportPath = {})
{
    return {Event::Kind::Descriptor, phone, game, 0, std::move(reportPath)};
}
Event archive(int phone, int game, std::int64_t offset = 0)
{
    return {Event::Kind::Archive, phone, game, offset, {}};
}
Event sent(int phone, std::int64_t bytes)
{
    return {Event::Kind::Sent, phone, 0, bytes, {}};
}
Event cutShort(int phone, std::int64_t bytes)
{
    return {Event::Kind::CutShort, phone, 0, bytes, {}};
}
Event report(int phone, std::string path, int code)
{
    return {Event::Kind::Report, phone, 0, 0, std::move(path), code};
}
Event wait(std::int64_t seconds)
{
    return {Event::Kind::Wait, 0, 0, seconds, {}};
}

struct AttemptCase {
    std::string name;
    std::vector<Event> events;
    // Each line's address and message.
    std::vector<std::string> lines;
    // Where each attempt ended up, in the order they began.
    std::vector<std::string> steps;
};

std::ostream& operator<<(std::ostream& out, const AttemptCase& c)
{
    return out << c.name;
}

const std::string kSnakeReport = "/.install-report/0000-1";
const std::string kSnakeReport2 = "/.install-report/0000-2";

class Attempts : public testing::TestWithParam<AttemptCase> {
protected:
    Attempts()
    {
        attempts.setChangeHandler([this](const InstallAttempt& attempt) { latest[attempt.id] = attempt; });
    }

    void play(const Event& event)
    {
        const auto& phone = kPhones.at(static_cast<std::size_t>(event.phone));
        const auto& game = kGames.at(static_cast<std::size_t>(event.game));
        const SlotNumber slot = event.phone + 1;
        switch (event.kind) {
        case Event::Kind::Descriptor:
            attempts.descriptorServed(phone, {game.descriptorPath, "/g" + game.descriptorPath, game.served,
                                              !event.path.empty(), event.path});
            break;
        case Event::Kind::Archive:
            fetches[slot] = {game.served.archivePath, event.number, game.archiveSize - event.number};
            attempts.archiveServed(slot, phone, game.served.archivePath, event.number, game.archiveSize);
            break;
        case Event::Kind::Sent:
            attempts.fileProgress(slot, fetches[slot].file, event.number, fetches[slot].length);
            break;
        case Event::Kind::CutShort:
            attempts.fileCutShort(slot, fetches[slot].file, event.number, fetches[slot].length);
            break;
        case Event::Kind::Report:
            attempts.reportReceived(event.path, phone.address, {event.code, statusMeaning(event.code)});
            break;
        case Event::Kind::Wait:
            now += std::chrono::seconds(event.number);
            attempts.finishOverdue();
            break;
        }
    }

    // "192.0.2.10 - Nokia 6300 installed ..." for each entry.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> found;
        for (std::string entry : sink.entries()) {
            entry = entry.substr(entry.find("# - ") + 4);
            entry.erase(0, entry.find_first_not_of(' '));
            found.push_back(entry.substr(0, entry.size() - 2));
        }
        return found;
    }

    std::vector<std::string> steps() const
    {
        std::vector<std::string> found;
        for (const auto& [id, attempt] : latest)
            found.push_back(stepText(attempt));
        return found;
    }

    struct Fetch {
        std::string file;
        std::int64_t offset = 0;
        std::int64_t length = 0;
    };

    MemoryLog sink;
    FixedClock clock;
    FakeSocketControl sockets;
    ActivityLog log{sink, sockets, clock};
    InstallAttempts::TimePoint now{};
    InstallAttempts attempts{log, clock, [this] { return now; }};
    std::map<std::uint64_t, InstallAttempt> latest;
    std::map<SlotNumber, Fetch> fetches;
};

TEST_P(Attempts, EndAsTheirEventsSay)
{
    for (const Event& event : GetParam().events)
        play(event);
    EXPECT_EQ(lines(), GetParam().lines);
    EXPECT_EQ(steps(), GetParam().steps);
}

const std::string kFixSnake = "turn on Repair Descriptors or fix hello.jad";

INSTANTIATE_TEST_SUITE_P(
    Cases, Attempts,
    testing::Values(
        AttemptCase{"WholeArchiveThenReportToItsOwnAddress",
                    {descriptor(0, 0, kSnakeReport), archive(0, 0), sent(0, 131'072), sent(0, 312'004), wait(14),
                     report(0, kSnakeReport, 900)},
                    {"192.0.2.10 - Nokia 6300 installed Snake 1.2.0 (900 Success) in 14 s"},
                    {"installed"}},
        AttemptCase{"CutShortAndNeverResumed",
                    {descriptor(0, 0, kSnakeReport), archive(0, 0), cutShort(0, 120'000), wait(180)},
                    {"192.0.2.10 - Nokia 6300: Snake 1.2.0 cut short after 120,000 of 312,004 bytes, no report"},
                    {"cut short at 38 %, no report"}},
        AttemptCase{"ResumedWithARangeAfterACut",
                    {descriptor(0, 0, kSnakeReport), archive(0, 0), cutShort(0, 100'000), archive(0, 0, 100'000),
                     sent(0, 212'004), report(0, kSnakeReport, 900)},
                    {"192.0.2.10 - Nokia 6300 installed Snake 1.2.0 (900 Success) in 0 s"},
                    {"installed"}},
        AttemptCase{"ReportMatchedByAddressAndTheDescriptorsReportPath",
                    {descriptor(1, 1), archive(1, 1), sent(1, 1'000), report(1, "/notify", 904)},
                    {"192.0.2.11 - Sony Ericsson K750i: Racer 1.0 failed: 904 JAR size mismatch \u2014 the "
                     "descriptor's MIDlet-Jar-Size differs from the archive; turn on Repair Descriptors or fix "
                     "racer.jad"},
                    {"failed 904"}},
        AttemptCase{"UnmatchedReportsChangeNothing",
                    {descriptor(0, 0, kSnakeReport), report(0, "/.install-report/never-given", 900),
                     report(1, "/notify", 900), report(0, kSnakeReport, 912)},
                    {},
                    {"descriptor (repaired)"}},
        AttemptCase{"NoReportOnlyAfterTheWholeWait",
                    {descriptor(1, 0, kSnakeReport), archive(1, 0), sent(1, 312'004), wait(179), wait(1)},
                    {"192.0.2.11 - Sony Ericsson K750i received Snake 1.2.0 (312,004 bytes), no report"},
                    {"archive received, no report"}},
        AttemptCase{"DescriptorOnly",
                    {descriptor(0, 1), wait(180)},
                    {"192.0.2.10 - Nokia 6300 fetched the descriptor of Racer 1.0 but not its archive, no report"},
                    {"descriptor only, no report"}},
        AttemptCase{"TwoPhonesOneGame",
                    {descriptor(0, 0, kSnakeReport), descriptor(1, 0, kSnakeReport2), archive(0, 0), archive(1, 0),
                     sent(1, 312'004), sent(0, 312'004), report(1, kSnakeReport2, 900), report(0, kSnakeReport, 901)},
                    {"192.0.2.11 - Sony Ericsson K750i installed Snake 1.2.0 (900 Success) in 0 s",
                     "192.0.2.10 - Nokia 6300: Snake 1.2.0 failed: 901 Insufficient memory \u2014 the phone has too "
                     "little room for it; free memory on the phone or use a smaller build"},
                    {"failed 901", "installed"}},
        AttemptCase{"OnePhoneTwoGames",
                    {descriptor(0, 0, kSnakeReport), descriptor(0, 1), archive(0, 1), sent(0, 1'000), archive(0, 0),
                     sent(0, 312'004), report(0, "/notify", 900), report(0, kSnakeReport, 905)},
                    {"192.0.2.10 - Nokia 6300 installed Racer 1.0 (900 Success) in 0 s",
                     "192.0.2.10 - Nokia 6300: Snake 1.2.0 failed: 905 Attribute mismatch \u2014 MIDlet-Name, -Vendor "
                     "or -Version differ between the descriptor and the manifest; fix hello.jad"},
                    {"failed 905", "installed"}},
        AttemptCase{"AFetchAgainStartsANewAttempt",
                    {descriptor(0, 0, kSnakeReport), archive(0, 0), cutShort(0, 5), descriptor(0, 0, kSnakeReport2),
                     report(0, kSnakeReport, 900), archive(0, 0), sent(0, 312'004), report(0, kSnakeReport2, 900)},
                    {"192.0.2.10 - Nokia 6300 installed Snake 1.2.0 (900 Success) in 0 s"},
                    {"fetched again", "installed"}},
        AttemptCase{"APhoneTooOldIsToldAtOnce",
                    {descriptor(2, 0), report(2, "/anywhere", 908)},
                    {"192.0.2.12 - Nokia 3300: Snake 1.2.0 needs MIDP-2.0 and CLDC-1.1; this phone has MIDP-1.0 and "
                     "CLDC-1.0: it will report 908",
                     "192.0.2.12 - Nokia 3300: Snake 1.2.0 failed: 908 Incompatible configuration or profile \u2014 the "
                     "game needs a newer phone (MicroEdition-Profile, -Configuration); use a build for this phone"},
                    {"failed 908"}}),
    [](const testing::TestParamInfo<AttemptCase>& info) { return info.param.name; });

// Progress on the way, as the Phones window shows it.
TEST_F(Attempts, ShowHowFarTheArchiveGot)
{
    play(descriptor(0, 0));
    EXPECT_EQ(steps(), std::vector<std::string>{"descriptor"});
    play(archive(0, 0));
    play(sent(0, 140'402));
    EXPECT_EQ(steps(), std::vector<std::string>{"archive 45 %"});
    play(cutShort(0, 156'002));
    EXPECT_EQ(steps(), std::vector<std::string>{"archive cut short at 50 %"});
    play(archive(0, 0, 156'002));
    EXPECT_EQ(steps(), std::vector<std::string>{"archive 50 % (resumed)"});
    play(sent(0, 156'002));
    EXPECT_EQ(steps(), std::vector<std::string>{"archive received"});
    EXPECT_TRUE(sink.entries().empty());
}

// A phone kept talking (or a hostile client posing as many) does not grow the attempts without end.
TEST_F(Attempts, KeepABoundedNumberUnderWay)
{
    InstallAttempts::Requester phone = kPhones[0];
    for (std::size_t i = 0; i <= InstallAttempts::kMaxOpen; ++i) {
        phone.userAgent = "Nokia6300/" + std::to_string(i);
        attempts.descriptorServed(phone, {"/racer.jad", "/g/racer.jad", kGames[1].served, false, ""});
    }
    EXPECT_EQ(sink.entries().size(), 1U) << "the oldest ends to make room";
    now += InstallAttempts::kReportWait;
    attempts.finishOverdue();
    EXPECT_EQ(sink.entries().size(), InstallAttempts::kMaxOpen + 1);
}

} // namespace
