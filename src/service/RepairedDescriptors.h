#pragma once

#include "GameRecord.h"
#include "ReportAddresses.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The repaired descriptors this server hands out, each made from its game's
// record for the address the phone reached the server at, with a report
// address of its own (see repairDescriptor). What a game's repair is for
// one address is kept, so that a download costs the few bytes that name
// it. Lives on the I/O thread.
class RepairedDescriptors {
public:
    // Repairs kept at most, each for one game and one address.
    static constexpr std::size_t kMaxKept = 32;

    struct Served {
        std::string text;
        // What was changed, as the log line's end: " (repaired: MIDlet-Jar-Size
        // 20,482 (was 19,870), ...)", or nothing when nothing changed.
        std::string_view note;
        std::string_view name;
        std::string_view version;
        // The archive it leads to on this server, as a request path; empty
        // when it was found nowhere here.
        std::string_view archivePath;
        // This download's report address, as a path on this server.
        std::string reportPath;
    };

    // The descriptor of `record` as a phone that reached this server at
    // `origin` ("http://192.168.1.5:8080") installs it, fetched by `peer`;
    // nothing when it cannot be read as a descriptor. The views stay good
    // until the next call.
    [[nodiscard]] std::optional<Served> serve(const std::shared_ptr<const GameRecord>& record,
                                              const std::string& origin, std::string_view peer);

    // The download a report address was given out for.
    [[nodiscard]] const ReportAddresses::Download* download(std::string_view reportPath) const
    {
        return m_reports.find(reportPath);
    }

private:
    // A game's repair for one address: its text cut where the report
    // address goes.
    struct ForOrigin {
        std::shared_ptr<const GameRecord> record;
        std::string origin;
        std::vector<std::string> pieces;
        std::string note;
        std::string name;
        std::string version;
        std::string archivePath;
    };

    [[nodiscard]] const ForOrigin* forOrigin(const std::shared_ptr<const GameRecord>& record, const std::string& origin);

    ReportAddresses m_reports;
    // The one used last in front.
    std::vector<ForOrigin> m_kept;
};
