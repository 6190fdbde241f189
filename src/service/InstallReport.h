#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a phone POSTs to a descriptor's MIDlet-Install-Notify or
// MIDlet-Delete-Notify address once an install (or a deletion) is over: a
// status code from 900 to 912, usually followed by a blank and a message
// ("904 JAR Size Mismatch").
struct InstallReport {
    int code = 0;
    // What the code means for the operator ("JAR size mismatch").
    std::string_view meaning;
};

// The report a request body carries: one that begins with a three-digit
// code from 900 to 912 that no further digit follows. Nothing for any other
// body.
[[nodiscard]] std::optional<InstallReport> readInstallReport(std::string_view body);

// The log line for a report posted to `path`: "Install report 904 JAR size
// mismatch, posted to /notify", or "Delete report ..." for 912.
[[nodiscard]] std::string describeInstallReport(const InstallReport& report, std::string_view path);

// The body of a request as the receive buffer hands it on: everything after
// the header's blank line (a chunked body already decoded).
[[nodiscard]] std::string_view requestBody(std::string_view request);
