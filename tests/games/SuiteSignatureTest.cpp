#include "Base64.h"
#include "SuiteSignature.h"
#include "TestCertificates.h"

#include <gtest/gtest.h>


namespace {

using namespace std::chrono;
using Verdict = SuiteSignature::Verdict;

constexpr sys_seconds at(year_month_day day)
{
    return sys_days(day);
}

const sys_seconds kNow = at(2026y / December / 11);
const sys_seconds kLongAgo = at(2004y / January / 1);
const sys_seconds kExpiredOn = at(2011y / June / 30);
const sys_seconds kValidUntil = at(2031y / March / 1);
const std::string kArchive = "PK\x03\x04 the archive the suite was signed over";

// Keys are slow to make: one for the authority and one for the signer, for every case.
const TestKey& authorityKey()
{
    static const TestKey key;
    return key;
}

const TestKey& signerKey()
{
    static const TestKey key;
    return key;
}

std::string certificate(sys_seconds from, sys_seconds until)
{
    return encodeBase64(makeCertificate(signerKey(), "Snake Games Ltd", authorityKey(), "Old Root CA", from, until));
}

std::string authority(sys_seconds from = kLongAgo, sys_seconds until = at(2036y / January / 1))
{
    return encodeBase64(makeCertificate(authorityKey(), "Old Root CA", authorityKey(), "Old Root CA", from, until));
}

std::string signatureOver(std::string_view archive)
{
    return encodeBase64(signerKey().sign(archive));
}

struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> lines;
    Verdict verdict;
    sys_seconds when{};
    std::string problem;
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.name;
}

std::vector<Case> cases()
{
    const std::string valid = certificate(kLongAgo, kValidUntil);
    return {
        {"unsigned", {{"MIDlet-Name", "Snake"}}, Verdict::Unsigned, {}, ""},
        {"a valid chain", {{"MIDlet-Certificate-1-1", valid}, {"MIDlet-Certificate-1-2", authority()},
                           {"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}}, Verdict::Valid, kValidUntil, ""},
        {"expired", {{"MIDlet-Certificate-1-1", certificate(kLongAgo, kExpiredOn)},
                     {"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}}, Verdict::Expired, kExpiredOn, ""},
        {"its authority expired", {{"MIDlet-Certificate-1-1", valid},
                                   {"MIDlet-Certificate-1-2", authority(kLongAgo, kExpiredOn)},
                                   {"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}}, Verdict::Expired, kExpiredOn, ""},
        {"not yet valid", {{"MIDlet-Certificate-1-1", certificate(at(2030y / January / 1), at(2040y / January / 1))},
                           {"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}},
         Verdict::NotYetValid, at(2030y / January / 1), ""},
        {"two chains, the second valid", {{"MIDlet-Certificate-1-1", certificate(kLongAgo, kExpiredOn)},
                                          {"MIDlet-Certificate-2-1", valid},
                                          {"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}},
         Verdict::Valid, kValidUntil, ""},
        {"signed over another archive", {{"MIDlet-Certificate-1-1", valid},
                                         {"MIDlet-Jar-RSA-SHA1", signatureOver("PK\x03\x04 rebuilt")}},
         Verdict::NotMatching, kValidUntil, ""},
        {"chain not base64", {{"MIDlet-Certificate-1-1", "MIIB*not*base64"}, {"MIDlet-Jar-RSA-SHA1", "AAAA"}},
         Verdict::Unreadable, {}, "MIDlet-Certificate-1-1 is not base64"},
        {"chain not DER", {{"MIDlet-Certificate-1-1", encodeBase64("a certificate, honestly")},
                           {"MIDlet-Jar-RSA-SHA1", "AAAA"}},
         Verdict::Unreadable, {}, "MIDlet-Certificate-1-1 is not an X.509 certificate"},
        {"chain truncated", {{"MIDlet-Certificate-1-1", valid.substr(0, valid.size() / 2 / 4 * 4)},
                             {"MIDlet-Jar-RSA-SHA1", "AAAA"}},
         Verdict::Unreadable, {}, "MIDlet-Certificate-1-1 is not an X.509 certificate"},
        {"a chain misnumbered", {{"MIDlet-Certificate-1-x", valid}, {"MIDlet-Jar-RSA-SHA1", "AAAA"}},
         Verdict::Unreadable, {}, "MIDlet-Certificate-1-x is not numbered <chain>-<n>"},
        {"signature not base64", {{"MIDlet-Certificate-1-1", valid}, {"MIDlet-Jar-RSA-SHA1", "%%%"}},
         Verdict::Unreadable, {}, "MIDlet-Jar-RSA-SHA1 is not base64"},
        {"signature without a certificate", {{"MIDlet-Jar-RSA-SHA1", signatureOver(kArchive)}},
         Verdict::Unreadable, {}, "MIDlet-Jar-RSA-SHA1 is there but no MIDlet-Certificate-1-1"},
        // A phone takes a suite without the signature as unsigned, certificates or not.
        {"certificates without a signature", {{"MIDlet-Certificate-1-1", valid}}, Verdict::Unsigned, {}, ""},
    };
}

class SignedSuites : public testing::TestWithParam<Case> {};

TEST_P(SignedSuites, AreJudgedAsAPhoneWouldToday)
{
    const Case& c = GetParam();
    AttributeList descriptor;
    for (const auto& [name, value] : c.lines)
        descriptor.add(name, value);
    ArchiveDigest archive{};
    gcry_md_hash_buffer(GCRY_MD_SHA1, archive.data(), kArchive.data(), kArchive.size());
    const SuiteSignature signature = readSuiteSignature(descriptor, &archive, kNow);
    EXPECT_EQ(signature.verdict, c.verdict);
    EXPECT_EQ(signature.when, c.when);
    EXPECT_EQ(signature.problem, c.problem);
}

INSTANTIATE_TEST_SUITE_P(Cases, SignedSuites, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(SignedSuites, NameSignerIssuerAndDatesOfEveryCertificate)
{
    AttributeList descriptor;
    descriptor.add("MIDlet-Certificate-1-1", certificate(kLongAgo, kValidUntil));
    descriptor.add("MIDlet-Certificate-1-2", authority());
    descriptor.add("MIDlet-Jar-RSA-SHA1", signatureOver(kArchive));
    const SuiteSignature signature = readSuiteSignature(descriptor, nullptr, kNow);
    ASSERT_EQ(signature.chains.size(), 1u);
    ASSERT_EQ(signature.chains[0].size(), 2u);
    EXPECT_EQ(signature.chains[0][0].subject, "CN=Snake Games Ltd");
    EXPECT_EQ(signature.chains[0][0].issuer, "CN=Old Root CA");
    EXPECT_EQ(signature.chains[0][0].notBefore, kLongAgo);
    EXPECT_EQ(signature.chains[0][0].notAfter, kValidUntil);
    EXPECT_EQ(signature.chains[0][1].subject, "CN=Old Root CA");
}

TEST(Base64, DecodesWithOrWithoutPaddingAndRefusesTheRest)
{
    struct Decoding {
        std::string_view text;
        std::optional<std::string> bytes;
    };
    for (const Decoding& d : {Decoding{"", ""}, Decoding{"TWFu", "Man"}, Decoding{"TWE=", "Ma"}, Decoding{"TWE", "Ma"},
                              Decoding{"TQ==", "M"}, Decoding{"T Q\r\n==", "M"}, Decoding{"TQ=", std::nullopt},
                              Decoding{"T", std::nullopt}, Decoding{"TQ==TQ==", std::nullopt},
                              Decoding{"TW-u", std::nullopt}, Decoding{"TWE===", std::nullopt}})
        EXPECT_EQ(decodeBase64(d.text), d.bytes) << d.text;
}

} // namespace
