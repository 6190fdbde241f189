#pragma once

#include "ArchiveLookup.h"
#include "ArchiveReading.h"
#include "DescriptorReader.h"
#include "DescriptorRepair.h"
#include "FileStamp.h"
#include "ServedGame.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Everything the games ever read of one game, read once for each change of
// its files and shared read-only by all that look at it: the request service
// repairing its descriptor or making one for a lone archive, the install
// attempts, the game list and the game check. Made off the I/O thread where
// it can be (the game list and the check read on the game worker), on the
// spot for the first request after a change.
struct GameRecord {
    std::string gameDirectory;
    // The descriptor as it is served ("/sub/a.jad") and the file it is.
    std::string descriptorPath;
    std::string descriptorFile;
    std::optional<FileStamp> descriptorStamp;

    enum class Text {
        Read,       // `reading` holds it
        Unreadable, // missing, or the system refused to read it
        TooLarge,   // over kMaxDescriptorBytes: only `listed` was read
        NotText,    // a binary file
    };
    Text text = Text::Unreadable;
    DescriptorReading reading;
    // What the game list shows: the descriptor as a phone reads it, of its
    // first kMaxDescriptorBytes (whole lines) when it is larger.
    AttributeList listed;

    // For a descriptor made for a lone archive: that archive's request path,
    // the descriptor made, or why none could be.
    std::string madeFor;
    std::string madeText;
    std::string notMade;

    // Whether request paths are percent-decoded before they are mapped, as
    // the server does while the game list is on.
    bool pathsDecoded = false;
    // Each archive path the descriptor can lead to, looked up, and the
    // archives found there, read.
    std::vector<ArchiveLookup> lookups;
    std::vector<ArchiveReading> archives;
    // The folders searched for a name in other letters, with their stamps:
    // a file added there may change what is found.
    std::vector<std::pair<std::string, std::optional<FileStamp>>> searchedFolders;

    // Whether a file of it had changed so shortly before it was read that a
    // change within the same tick of the file system's clock (two seconds
    // on a memory card) would keep every stamp: such a record is read again
    // whenever it is asked for, until its files have been left alone.
    bool racy = false;

    // The descriptor as the repair serves it, for each archive it may lead
    // to (by the archive's request path; empty: none), all but what depends
    // on the request made; and the archive it leads to, when that is the
    // same whatever address the phone reached this server at (a relative
    // MIDlet-Jar-URL).
    std::vector<std::pair<std::string, PreparedRepair>> repairs;
    std::optional<RepairedArchive> repairedForAnyOrigin;
    // The game as following its installs needs it, when that is the same
    // whatever address the phone reached this server at.
    std::optional<ServedGame> servedForAnyOrigin;

    // The lookup of an archive path the descriptor names, as named (decoded
    // when the server decodes); nothing when it was not looked up.
    [[nodiscard]] const ArchiveLookup* lookup(std::string_view asNamed) const;
    // The archive found at a request path; nothing when none was read there.
    [[nodiscard]] const ArchiveReading* archive(std::string_view requestPath) const;
    // The repair for the archive at `archivePath` (empty: none found).
    [[nodiscard]] const PreparedRepair* repair(std::string_view archivePath) const;
};

// The time that file stamps are compared with.
using FileClockNow = std::function<std::filesystem::file_time_type()>;

// How a record's files are read: how archives are opened and the time file
// stamps are compared with.
struct RecordSources {
    ArchiveOpener open = JarArchive::open;
    FileClockNow now = std::filesystem::file_time_type::clock::now;
};

// How records are read.
struct RecordReading {
    std::string gameDirectory;
    bool pathsDecoded = false;
    RecordSources sources{};
};

// Reads the game whose descriptor is served at `descriptorPath`.
[[nodiscard]] std::shared_ptr<const GameRecord> readGameRecord(const RecordReading& how,
                                                               const std::string& descriptorPath);
// The same for a descriptor whose text is given, not read from its file.
[[nodiscard]] std::shared_ptr<const GameRecord> readGameRecord(const RecordReading& how,
                                                               const std::string& descriptorPath, std::string_view text);
// The descriptor made at `descriptorPath` for the lone archive at `archivePath` (see makeDescriptor).
[[nodiscard]] std::shared_ptr<const GameRecord> readLoneArchiveRecord(const RecordReading& how,
                                                                      const std::string& descriptorPath,
                                                                      const std::string& archivePath);

// A file changed this shortly before a record was read makes the record racy.
inline constexpr std::chrono::seconds kRacyWithin{2};

// Whether the record still tells the files as they are now: it is not racy,
// and the descriptor, every archive read and every folder searched have the
// stamps they had. `descriptor` is the descriptor's stamp.
[[nodiscard]] bool isCurrent(const GameRecord& record, const std::optional<FileStamp>& descriptor);

// The request path an archive path names in a descriptor, as the server
// maps it: percent-decoded while it decodes request paths.
[[nodiscard]] std::string servedPath(const GameRecord& record, const std::string& urlPath);
