#include "CommandLine.h"
#include "ConsoleLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

struct LineCase {
    std::vector<std::string> arguments;
    CommandLine::Action action;
    std::string settingsFile;
    std::string problem;
};

// Named by its arguments in the test's report.
void PrintTo(const LineCase& line, std::ostream* out)
{
    *out << "tarnwick";
    for (const std::string& argument : line.arguments)
        *out << ' ' << argument;
}

class CommandLines : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLines, AreReadAsTheWindowedProgramReadsThem)
{
    const CommandLine line = readCommandLine(GetParam().arguments);
    EXPECT_EQ(line.action, GetParam().action);
    EXPECT_EQ(line.settingsFile, GetParam().settingsFile);
    EXPECT_EQ(line.problem, GetParam().problem);
}

using Action = CommandLine::Action;
INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLines,
    testing::Values(LineCase{{}, Action::Serve, "", ""},
                    LineCase{{"--settings", "D:\\Tarnwick\\mine.ini"}, Action::Serve, "D:\\Tarnwick\\mine.ini", ""},
                    LineCase{{"--settings=Ünïcode.ini"}, Action::Serve, "Ünïcode.ini", ""},
                    LineCase{{"--version", "--nonsense"}, Action::Version, "", ""},
                    LineCase{{"-h"}, Action::Help, "", ""},
                    LineCase{{"--settings"}, Action::Refuse, "", "--settings needs a file name."},
                    LineCase{{"--settings="}, Action::Refuse, "", "--settings needs a file name."},
                    LineCase{{"--port", "80"}, Action::Refuse, "", "Unknown option '--port'."},
                    LineCase{{"games"}, Action::Refuse, "", "Unexpected argument 'games'."}));

std::string contentsOf(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}

TEST(ConsoleLog, WritesEntriesInOrderWithTheSystemsLineEnds)
{
    std::FILE* output = std::tmpfile();
    ASSERT_TRUE(output);
    {
        ConsoleLog log(output);
        for (int entry = 0; entry < 1000; ++entry)
            log.appendEntry("# entry " + std::to_string(entry) + "\r\n");
        log.flush();
        std::string expected;
        for (int entry = 0; entry < 1000; ++entry)
            expected += "# entry " + std::to_string(entry) + "\n";
        EXPECT_EQ(contentsOf(output), expected);
    }
    std::fclose(output);
}

int makePipe(int ends[2])
{
#ifdef _WIN32
    return _pipe(ends, 4096, _O_BINARY);
#else
    return ::pipe(ends);
#endif
}

TEST(ConsoleLog, NeverHoldsUpTheEngineAndSaysWhatAnOutputThatStalledMissed)
{
    int ends[2];
    ASSERT_EQ(makePipe(ends), 0);
    std::FILE* output = fdopen(ends[1], "wb");
    ASSERT_TRUE(output);
    std::string read;
    {
        ConsoleLog log(output, 1024);
        // Nobody reads yet: the pipe fills, then the entries waiting, then the rest are counted.
        const std::string entry = "# " + std::string(96, 'x') + "\r\n";
        for (int i = 0; i < 4000; ++i)
            log.appendEntry(entry);
        std::thread reader([&] {
            char buffer[4096];
            for (long got; (got = ::read(ends[0], buffer, sizeof buffer)) > 0;)
                read.append(buffer, static_cast<std::size_t>(got));
        });
        // Once the output takes entries again, the next one comes after a word on what was missed.
        log.flush();
        log.appendEntry("# after\r\n");
        log.flush();
        std::fclose(output);
        reader.join();
    }
    ::close(ends[0]);
    const auto note = read.find(" log entries were not written: the output took nothing\n# after\n");
    EXPECT_NE(note, std::string::npos);
    EXPECT_TRUE(read.ends_with("# after\n"));
}

} // namespace
