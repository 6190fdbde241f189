#pragma once

#include "FileReading.h"
#include "OpenFileCache.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// What an answer would carry: how the file opened, and its bytes as sent.
struct Served {
    OpenedGameFile::Status status = OpenedGameFile::Status::NotFound;
    std::string bytes;
    NativeFile descriptor = kNoFile;

    bool operator==(const Served& other) const { return status == other.status && bytes == other.bytes; }
};

inline Served served(OpenedGameFile opened)
{
    Served result{opened.status, {}, opened.body.file.get()};
    // Sent from the content that came with it, or else read from the file.
    if (opened.body.content) {
        result.bytes = opened.body.content->substr(0, static_cast<std::size_t>(opened.body.size));
    } else if (opened.status == OpenedGameFile::Status::Opened) {
        result.bytes.resize(static_cast<std::size_t>(opened.body.size));
        const std::int64_t read = readAt(opened.body.file.get(), result.bytes.data(), result.bytes.size(), 0);
        result.bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(read, 0)));
    }
    return result;
}

// Public: the table of changes reaches into it.
class OpenFileCacheTest : public testing::Test {
public:
    Served ask(const std::string& requestPath)
    {
        return served(cache.open(games.string(), requestPath, games.string() + requestPath));
    }
    // What opening the file afresh gives: the cache must never answer otherwise.
    Served fresh(const std::string& requestPath)
    {
        return served(openGameFile(games.string(), requestPath, games.string() + requestPath));
    }
    std::string path(const std::string& name) const { return games.string() + "/" + name; }

    TempDirectory games;
    // How far the cache's clock runs ahead: an hour ahead, every file looks
    // left alone long enough for its content to be kept.
    std::chrono::seconds clockAhead{0};
    OpenFileCache cache{OpenFileCache::kDefaultCapacity,
                        [this] { return std::chrono::system_clock::now() + clockAhead; }};
};

constexpr std::chrono::seconds kAnHour{3600};
