#pragma once

#include "GameDirectory.h"
#include "NativeFile.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The files served last, kept open. A busy server is asked for the same few
// files over and over; opening, checking and closing each for every request
// costs more system calls than sending it. Before each use the name is
// looked up again (lookAtName: one stat, or on Windows an open for the
// file's attributes alone, following links as an open does): a file
// replaced, removed or renamed away, or whose type, owner or permissions
// changed, is opened anew, so the answer is the one a fresh open would give,
// and the size is the one the file has now. The content of a small file is
// kept too once the file has been left alone for a while: a later change
// then gets a change time of its own, which the look shows, while a change
// within the tick of the clock that stamped the last one could not be told
// from it.
//
// Bounded in descriptors, and never keeps one close to the descriptor limit,
// where the reserve for files being sent and the settings begins (see
// hasRoomToKeep). A file
// not asked for a few seconds is let go (closeIdle), so that a collection on
// a memory card or a stick can be ejected, a deleted game's space comes
// back and a file can be replaced on a system that refuses to while it is
// open. I/O thread only.
class OpenFileCache {
public:
    static constexpr std::size_t kDefaultCapacity = 16;
    // Files up to this size have their content kept.
    static constexpr std::int64_t kMaxContentBytes = 16 * 1024;
    // How long a file must have been left alone for its content to be kept.
    static constexpr std::chrono::seconds kSettled{2};
    // How long a file is kept open after it was last asked for: a phone asks
    // for the descriptor and then the archive within a second or two, and a
    // busy server asks for its files far more often than that.
    static constexpr std::chrono::seconds kIdleClose{5};
    using IdleClock = std::chrono::steady_clock;

    // `now` tells the wall-clock time that file stamps are compared with.
    explicit OpenFileCache(std::size_t capacity = kDefaultCapacity,
                           std::function<std::chrono::system_clock::time_point()> now = std::chrono::system_clock::now);

    // As openGameFile, from the cache when the file is still the one kept.
    [[nodiscard]] OpenedGameFile open(std::string_view virtualDir, std::string_view requestPath,
                                      const std::string& mappedPath);
    // Lets go of every kept descriptor (answers being sent from one keep it
    // until they are done) and returns how many were kept.
    std::size_t release();
    // Lets go of the files last asked for kIdleClose or more before `now`;
    // returns how many.
    std::size_t closeIdle(IdleClock::time_point now);
    [[nodiscard]] std::size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        std::string path;
        SharedDescriptor file;
        FileLook identity;
        std::uint64_t lastUse = 0;
        IdleClock::time_point lastAsked;
        std::shared_ptr<const std::string> content;
    };

    [[nodiscard]] Entry* find(const std::string& mappedPath);
    void keep(const std::string& mappedPath, OpenedGameFile& opened);
    // The content of the kept file when it is small and settled, read
    // between two looks that find it unchanged; else nothing.
    [[nodiscard]] std::shared_ptr<const std::string> settledContent(const Entry& entry) const;

    std::size_t m_capacity;
    std::function<std::chrono::system_clock::time_point()> m_now;
    std::vector<Entry> m_entries;
    std::uint64_t m_uses = 0;
};
