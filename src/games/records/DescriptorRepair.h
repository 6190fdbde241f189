#pragma once

#include "AttributeList.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ArchiveReading;
struct GameRecord;

// Where a descriptor is being served, for the repair.
struct RepairContext {
    // The game directory and the request path the descriptor is served at ("/sub/a.jad").
    std::string gameDirectory;
    std::string descriptorPath;
    // This server as the phone reached it: "http://192.168.1.5:8080".
    std::string origin;
    // Whether the server percent-decodes request paths before mapping them
    // (the game list is on): archive addresses are then written encoded.
    bool pathsDecoded = true;
    // The address that this download's reports go to, on this server; empty
    // when none could be made.
    std::string reportAddress;
};

struct RepairedDescriptor {
    std::string text;
    // What was changed, in a few words each ("MIDlet-Jar-Size 20,482 (was
    // 19,870)"); empty when the descriptor needed nothing.
    std::vector<std::string> changes;
    // The game as the repaired descriptor names it.
    std::string name;
    std::string version;
    // The archive it leads to on this server, as a request path; empty when
    // it was found nowhere here.
    std::string archivePath;
};

// A descriptor as a phone installs it, rewritten in memory from `text`
// (the file on disk is never changed): MIDlet-Jar-URL made an absolute
// address on this server for the archive it names, when that archive lies
// in the game directory (its relative address, or the last segment of an
// absolute one beside the descriptor; the one file there that differs from
// the name only in letter case, when none matches it as written);
// MIDlet-Jar-Size the archive's size;
// MIDlet-Name, -Vendor and -Version the manifest's; MIDlet-Install-Notify
// and MIDlet-Delete-Notify this download's report address, unless the
// manifest carries them (a signed suite must match). The text comes out as
// every phone reads it: UTF-8 without a byte-order mark (bytes that are not
// UTF-8 become U+FFFD, as phones decode them), one "Name: value" per line
// with CR LF, wrapped lines joined, no blank lines, the first of a name
// given twice; every other attribute is kept in its order.
//
// Nothing when the descriptor cannot be read as one: not text, or larger
// than a descriptor is read. It is then served as it is.
[[nodiscard]] std::optional<RepairedDescriptor> repairDescriptor(std::string_view text, const RepairContext& context);

// The longest report address a phone takes; past it, it reports 906.
inline constexpr std::size_t kMaxReportAddressBytes = 256;

// What the repair makes of a descriptor that is the same for every request:
// everything but the server's address in MIDlet-Jar-URL and this download's
// report address, which repairFor fills in.
struct PreparedRepair {
    std::vector<AttributeList::Attribute> attributes;
    // What the reading forgave, then what the archive changed (its size and
    // the manifest's names); MIDlet-Jar-URL's change goes between them.
    std::vector<std::string> readingChanges;
    std::vector<std::string> archiveChanges;
    // The index of MIDlet-Jar-URL, when it is to name the archive on this
    // server, and the archive's path as the URL writes it.
    std::optional<std::size_t> jarUrl;
    std::string archiveUrlPath;
    // A signed suite's manifest fixes these addresses: they are left alone.
    bool manifestNamesInstallNotify = false;
    bool manifestNamesDeleteNotify = false;
    std::string name;
    std::string version;
    std::string archivePath;
    // The text's size, but for what repairFor fills in.
    std::size_t textSize = 0;
};

// The repair of the record's descriptor when it leads to `archive` (none:
// no archive was found), all but what a request adds.
[[nodiscard]] PreparedRepair prepareRepair(const GameRecord& record, const ArchiveReading* archive);

// The archive the repair leads a descriptor to (see repairDescriptor).
struct RepairedArchive {
    // Its request path; empty when none was found.
    std::string path;
    // The descriptor names it in other letters than it has on disk.
    bool namedInOtherLetters = false;
};

// The archive the repair leads the record's descriptor to for a phone that
// reached this server at `origin`.
[[nodiscard]] RepairedArchive repairedArchive(const GameRecord& record, std::string_view origin);

// The repaired descriptor for a request that reached this server at
// `origin`, its reports to go to `reportAddress` (empty: none), leading to
// `archive`, the archive `prepared` was prepared for.
[[nodiscard]] RepairedDescriptor repairFor(const PreparedRepair& prepared, const RepairedArchive& archive,
                                           std::string_view origin, std::string_view reportAddress);

// The whole repair of the record's descriptor for one request; nothing when
// it cannot be read as a descriptor.
[[nodiscard]] std::optional<RepairedDescriptor> repairRecord(const GameRecord& record, std::string_view origin,
                                                             std::string_view reportAddress);
