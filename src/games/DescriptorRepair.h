#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// absolute one beside the descriptor); MIDlet-Jar-Size the archive's size;
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
