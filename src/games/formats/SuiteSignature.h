#pragma once

#include "AttributeList.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The SHA-1 of a whole archive: what a suite's signature is over.
using ArchiveDigest = std::array<unsigned char, 20>;

// A certificate of a signed suite's chain, as the check names it.
struct SuiteCertificate {
    std::string subject; // the distinguished name, as RFC 2253 writes it
    std::string issuer;
    std::chrono::sys_seconds notBefore{};
    std::chrono::sys_seconds notAfter{};
};

// What a phone will make of a descriptor's signature: the suite is signed
// when the descriptor carries MIDlet-Jar-RSA-SHA1 or any
// MIDlet-Certificate-<chain>-<n> (base64 DER X.509, leaf first).
struct SuiteSignature {
    enum class Verdict {
        Unsigned,    // neither line: installed as an untrusted suite
        Valid,       // a chain in date whose leaf signed this archive
        Expired,     // every chain has a certificate past its end
        NotYetValid, // a certificate not valid yet (a phone whose clock was reset)
        Unreadable,  // a chain or the signature does not decode
        NotMatching, // the signature is not over this archive: it was rebuilt after signing
    };
    Verdict verdict = Verdict::Unsigned;
    // Each chain by its number, leaf first; what decoded of them.
    std::vector<std::vector<SuiteCertificate>> chains;
    // Expired: when the chain ran out; NotYetValid: when it begins;
    // Valid: until when it stays valid.
    std::chrono::sys_seconds when{};
    // Unreadable: what did not decode, in words.
    std::string problem;
};

// Reads the signature lines of `descriptor`, weighs every chain's dates
// against `now` and checks the signature against the archive's digest
// (null when there is no archive to check it against).
[[nodiscard]] SuiteSignature readSuiteSignature(const AttributeList& descriptor, const ArchiveDigest* archive,
                                                std::chrono::sys_seconds now);

// The digest of the archive file, or nothing when it cannot be read whole.
[[nodiscard]] std::optional<ArchiveDigest> digestOf(const std::filesystem::path& archive);

// Whether the descriptor has any line of a signed suite.
[[nodiscard]] bool isSignedSuite(const AttributeList& descriptor);
