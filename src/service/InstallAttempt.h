#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

// One phone's install of one game, from the descriptor it fetched to the
// report it sent, as the operator follows it.
struct InstallAttempt {
    enum class Step {
        Descriptor,      // the descriptor went out; no archive yet
        Archive,         // the archive is going out
        ArchiveReceived, // the archive went out whole; the report is awaited
        ArchiveCutShort, // the archive's download ended early
        Installed,       // reported 900
        Failed,          // reported another code
        NoReport,        // nothing more came within the wait
        FetchedAgain,    // the phone fetched the descriptor again: a new attempt follows it
    };

    std::uint64_t id = 0;
    // What the operator recognises the phone by: "Nokia 6300", or its address.
    std::string phone;
    std::string address;
    // What the phone declares it runs: "MIDP-2.0 CLDC-1.1"; empty when it does not say.
    std::string platform;
    // "Snake 1.2.0", or the descriptor's file name when it names no game.
    std::string game;
    // The descriptor's request path, as the operator finds it: "snake/hello.jad".
    std::string descriptor;
    bool repaired = false;
    Step step = Step::Descriptor;
    // How far into the archive the phone has received, over every fetch of it.
    std::int64_t archiveReceived = 0;
    std::int64_t archiveSize = 0;
    // A fetch of the archive asked for a part of it (a resumed download).
    bool resumed = false;
    int reportCode = 0;
    // Why the phone will refuse the game: "needs MIDP-2.0; this phone has
    // MIDP-1.0: it will report 908". Empty when nothing is known against it.
    std::string warning;
    // For a failure, what the operator can do about it.
    std::string advice;
    // When the descriptor was fetched, as the log tells time.
    std::tm started{};
    // How long from the descriptor to the report; set once a report came.
    std::chrono::seconds took{0};

    [[nodiscard]] bool finished() const
    {
        return step == Step::Installed || step == Step::Failed || step == Step::NoReport || step == Step::FetchedAgain;
    }
};

// Where the attempt stands, in a few words: "descriptor", "archive 45 %",
// "failed 904".
[[nodiscard]] std::string stepText(const InstallAttempt& attempt);

// The log line for a finished attempt: "Nokia 6300 installed Snake 1.2.0
// (900 Success) in 14 s". Empty for an attempt that ended because the
// phone fetched the game again (the next attempt tells its end).
[[nodiscard]] std::string finishedLine(const InstallAttempt& attempt);
