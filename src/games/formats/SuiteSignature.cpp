#include "SuiteSignature.h"

#include "Base64.h"

#include <gcrypt.h>
#include <ksba.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace {

constexpr std::string_view kSignatureName = "MIDlet-Jar-RSA-SHA1";
constexpr std::string_view kCertificatePrefix = "MIDlet-Certificate-";

void startCrypto()
{
    static std::once_flag started;
    std::call_once(started, [] {
        gcry_check_version(nullptr);
        // Only public keys are used here: nothing secret to keep from swap.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

struct CertificateFree {
    void operator()(ksba_cert_t cert) const { ksba_cert_release(cert); }
};
using Certificate = std::unique_ptr<std::remove_pointer_t<ksba_cert_t>, CertificateFree>;

struct SexpFree {
    void operator()(gcry_sexp_t sexp) const { gcry_sexp_release(sexp); }
};
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, SexpFree>;

// The library's text, freed by the library.
std::string taken(char* text)
{
    if (!text)
        return {};
    std::string copy(text);
    ksba_free(text);
    return copy;
}

// "YYYYMMDDTHHMMSS", as the library gives a time.
std::optional<std::chrono::sys_seconds> timeOf(const ksba_isotime_t text)
{
    const std::string_view iso(text);
    if (iso.size() != 15 || iso[8] != 'T')
        return std::nullopt;
    const auto number = [iso](std::size_t at, std::size_t length) {
        int value = -1;
        std::from_chars(iso.data() + at, iso.data() + at + length, value);
        return value;
    };
    const std::chrono::year_month_day day{std::chrono::year(number(0, 4)),
                                          std::chrono::month(static_cast<unsigned>(number(4, 2))),
                                          std::chrono::day(static_cast<unsigned>(number(6, 2)))};
    if (!day.ok())
        return std::nullopt;
    return std::chrono::sys_days(day) + std::chrono::hours(number(9, 2)) + std::chrono::minutes(number(11, 2)) +
           std::chrono::seconds(number(13, 2));
}

constexpr int kMaxDerDepth = 32;

struct DerElement {
    unsigned char tag = 0;
    std::string_view content;
};

// The element at the front of `der`, which it then starts after; nothing
// at the end or on bytes that are no element (no certificate has a tag
// past 30, nor a length of more than four bytes).
std::optional<DerElement> takeElement(std::string_view& der)
{
    const std::string_view whole = der;
    if (whole.size() < 2 || (static_cast<unsigned char>(whole[0]) & 0x1F) == 0x1F)
        return std::nullopt;
    DerElement element;
    element.tag = static_cast<unsigned char>(whole[0]);
    std::size_t length = static_cast<unsigned char>(whole[1]);
    std::size_t at = 2;
    if (length & 0x80) {
        const std::size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || whole.size() - at < bytes)
            return std::nullopt;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            length = (length << 8) | static_cast<unsigned char>(whole[at++]);
    }
    if (length > whole.size() - at)
        return std::nullopt;
    element.content = whole.substr(at, length);
    der = whole.substr(at + length);
    return element;
}

// Whether `der` is whole DER elements one after another: every length
// definite and inside its parent, every constructed element filled exactly
// by its children. The certificate library is handed only such bytes: on
// some malformed ones it keeps memory it never gives back.
bool elementsFill(std::string_view der, int depth)
{
    if (depth > kMaxDerDepth)
        return false;
    while (!der.empty()) {
        const std::optional<DerElement> element = takeElement(der);
        // End-of-contents belongs to BER's indefinite lengths only.
        if (!element || element->tag == 0)
            return false;
        if ((element->tag & 0x20) != 0 && !elementsFill(element->content, depth + 1))
            return false;
    }
    return true;
}

// One SEQUENCE, all of the bytes, as every certificate is.
bool isWholeDerSequence(std::string_view der)
{
    const std::optional<DerElement> sequence = takeElement(der);
    return sequence && sequence->tag == 0x30 && der.empty() && elementsFill(sequence->content, 1);
}

constexpr std::string_view kRsaEncryption{"\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x01\x01", 11};

// The RSA key a certificate certifies, read from its subjectPublicKeyInfo.
Sexp rsaKeyOf(std::string_view der)
{
    std::string_view certificate = der;
    const std::optional<DerElement> outer = takeElement(certificate);
    std::string_view inside = outer ? outer->content : std::string_view();
    const std::optional<DerElement> tbs = takeElement(inside);
    if (!tbs)
        return nullptr;
    std::string_view fields = tbs->content;
    std::optional<DerElement> field = takeElement(fields);
    // The version comes first, in a tag of its own, when it is not 1.
    if (field && field->tag == 0xA0)
        field = takeElement(fields);
    // The serial number, the signature's algorithm, issuer, validity, subject: then the key.
    for (int skipped = 0; field && skipped < 5; ++skipped)
        field = takeElement(fields);
    if (!field || field->tag != 0x30)
        return nullptr;
    std::string_view keyInfo = field->content;
    const std::optional<DerElement> algorithm = takeElement(keyInfo);
    const std::optional<DerElement> bits = takeElement(keyInfo);
    if (!algorithm || !algorithm->content.starts_with(kRsaEncryption) || !bits || bits->tag != 0x03 ||
        bits->content.empty() || bits->content.front() != 0)
        return nullptr;
    std::string_view rsa = bits->content.substr(1);
    const std::optional<DerElement> sequence = takeElement(rsa);
    std::string_view numbers = sequence ? sequence->content : std::string_view();
    const std::optional<DerElement> modulus = takeElement(numbers);
    const std::optional<DerElement> exponent = takeElement(numbers);
    if (!modulus || !exponent || modulus->tag != 0x02 || exponent->tag != 0x02 || modulus->content.empty() ||
        exponent->content.empty())
        return nullptr;
    gcry_sexp_t key = nullptr;
    if (gcry_sexp_build(&key, nullptr, "(public-key (rsa (n %b) (e %b)))", static_cast<int>(modulus->content.size()),
                        modulus->content.data(), static_cast<int>(exponent->content.size()),
                        exponent->content.data()) != 0)
        return nullptr;
    return Sexp(key);
}

struct ChainLink {
    SuiteCertificate facts;
    Sexp publicKey; // the leaf's alone
};

// One certificate line: decoded, or why not.
std::optional<ChainLink> readCertificate(const std::string& name, std::string_view value, bool leaf,
                                         std::string& problem)
{
    const std::optional<std::string> der = decodeBase64(value);
    if (!der || der->empty()) {
        problem = name + " is not base64";
        return std::nullopt;
    }
    if (!isWholeDerSequence(*der)) {
        problem = name + " is not an X.509 certificate";
        return std::nullopt;
    }
    ksba_cert_t raw = nullptr;
    if (ksba_cert_new(&raw) != 0) {
        problem = name + " could not be read";
        return std::nullopt;
    }
    const Certificate cert(raw);
    if (ksba_cert_init_from_mem(cert.get(), der->data(), der->size()) != 0) {
        problem = name + " is not an X.509 certificate";
        return std::nullopt;
    }
    ChainLink link;
    link.facts.subject = taken(ksba_cert_get_subject(cert.get(), 0));
    link.facts.issuer = taken(ksba_cert_get_issuer(cert.get(), 0));
    ksba_isotime_t from{};
    ksba_isotime_t until{};
    const std::optional<std::chrono::sys_seconds> notBefore =
        ksba_cert_get_validity(cert.get(), 0, from) == 0 ? timeOf(from) : std::nullopt;
    const std::optional<std::chrono::sys_seconds> notAfter =
        ksba_cert_get_validity(cert.get(), 1, until) == 0 ? timeOf(until) : std::nullopt;
    if (!notBefore || !notAfter) {
        problem = name + " has no valid dates";
        return std::nullopt;
    }
    link.facts.notBefore = *notBefore;
    link.facts.notAfter = *notAfter;
    if (leaf) {
        link.publicKey = rsaKeyOf(*der);
        if (!link.publicKey) {
            problem = name + " has no RSA key that can be read";
            return std::nullopt;
        }
    }
    return link;
}

// The certificate lines by chain and position, as "MIDlet-Certificate-<chain>-<n>" numbers them.
std::map<int, std::map<int, std::string_view>> certificateLines(const AttributeList& descriptor, std::string& problem)
{
    std::map<int, std::map<int, std::string_view>> chains;
    for (const AttributeList::Attribute& attribute : descriptor.entries()) {
        std::string_view name(attribute.name);
        if (!name.starts_with(kCertificatePrefix))
            continue;
        name.remove_prefix(kCertificatePrefix.size());
        int chain = 0;
        int position = 0;
        const auto [afterChain, chainError] = std::from_chars(name.data(), name.data() + name.size(), chain);
        const char* end = name.data() + name.size();
        const bool named = chainError == std::errc() && afterChain != end && *afterChain == '-' &&
                           std::from_chars(afterChain + 1, end, position).ptr == end && chain > 0 && position > 0;
        if (!named) {
            problem = attribute.name + " is not numbered <chain>-<n>";
            continue;
        }
        chains[chain].emplace(position, attribute.value);
    }
    return chains;
}

// Whether `signature` is the RSA PKCS #1 v1.5 signature of `digest` by `key`.
bool signedBy(const std::string& signature, const ArchiveDigest& digest, gcry_sexp_t key)
{
    gcry_sexp_t data = nullptr;
    gcry_sexp_t value = nullptr;
    if (gcry_sexp_build(&data, nullptr, "(data (flags pkcs1) (hash sha1 %b))", static_cast<int>(digest.size()),
                        digest.data()) != 0)
        return false;
    const Sexp dataHeld(data);
    if (gcry_sexp_build(&value, nullptr, "(sig-val (rsa (s %b)))", static_cast<int>(signature.size()),
                        signature.data()) != 0)
        return false;
    const Sexp valueHeld(value);
    return gcry_pk_verify(value, data, key) == 0;
}

struct DecodedChain {
    std::vector<ChainLink> links;
    std::chrono::sys_seconds from{};  // the latest start of its certificates
    std::chrono::sys_seconds until{}; // the earliest end
};

} // namespace

std::optional<ArchiveDigest> digestOf(const std::filesystem::path& file)
{
    startCrypto();
    std::ifstream archive(file, std::ios::binary);
    gcry_md_hd_t hash = nullptr;
    if (gcry_md_open(&hash, GCRY_MD_SHA1, 0) != 0)
        return std::nullopt;
    std::array<char, 64 * 1024> buffer{};
    while (archive) {
        archive.read(buffer.data(), buffer.size());
        gcry_md_write(hash, buffer.data(), static_cast<std::size_t>(archive.gcount()));
    }
    std::optional<ArchiveDigest> digest;
    if (archive.eof()) {
        digest.emplace();
        std::copy_n(gcry_md_read(hash, GCRY_MD_SHA1), digest->size(), digest->begin());
    }
    gcry_md_close(hash);
    return digest;
}

bool isSignedSuite(const AttributeList& descriptor)
{
    return std::any_of(descriptor.entries().begin(), descriptor.entries().end(),
                       [](const AttributeList::Attribute& attribute) {
                           return attribute.name == kSignatureName || attribute.name.starts_with(kCertificatePrefix);
                       });
}

SuiteSignature readSuiteSignature(const AttributeList& descriptor, const ArchiveDigest* archive,
                                  std::chrono::sys_seconds now)
{
    SuiteSignature result;
    if (!isSignedSuite(descriptor))
        return result;
    startCrypto();
    const auto unreadable = [&result](std::string problem) {
        result.verdict = SuiteSignature::Verdict::Unreadable;
        result.problem = std::move(problem);
        return result;
    };

    std::string problem;
    std::vector<DecodedChain> chains;
    for (const auto& [chainNumber, lines] : certificateLines(descriptor, problem)) {
        DecodedChain chain;
        // A phone reads a chain from its first certificate up to the first number missing.
        int expected = 1;
        for (const auto& [position, value] : lines) {
            if (position != expected++)
                break;
            const std::string name = std::string(kCertificatePrefix) + std::to_string(chainNumber) + "-" +
                                     std::to_string(position);
            std::optional<ChainLink> link = readCertificate(name, value, position == 1, problem);
            if (!link)
                break;
            chain.links.push_back(std::move(*link));
        }
        if (!problem.empty())
            break;
        if (chain.links.empty())
            return unreadable(std::string(kCertificatePrefix) + std::to_string(chainNumber) + "-1 is missing");
        chain.from = chain.links.front().facts.notBefore;
        chain.until = chain.links.front().facts.notAfter;
        for (const ChainLink& link : chain.links) {
            chain.from = std::max(chain.from, link.facts.notBefore);
            chain.until = std::min(chain.until, link.facts.notAfter);
        }
        std::vector<SuiteCertificate>& named = result.chains.emplace_back();
        for (const ChainLink& link : chain.links)
            named.push_back(link.facts);
        chains.push_back(std::move(chain));
    }
    if (!problem.empty())
        return unreadable(problem);

    const std::optional<std::string_view> signatureText = descriptor.value(kSignatureName);
    // Certificates without a signature: the phone installs the suite unsigned.
    if (!signatureText)
        return result;
    const std::optional<std::string> signature = decodeBase64(*signatureText);
    if (!signature || signature->empty())
        return unreadable(std::string(kSignatureName) + " is not base64");
    if (chains.empty())
        return unreadable(std::string(kSignatureName) + " is there but no MIDlet-Certificate-1-1");

    for (const DecodedChain& chain : chains) {
        if (chain.from > now || now > chain.until)
            continue;
        result.when = chain.until;
        if (archive && !signedBy(*signature, *archive, chain.links.front().publicKey.get())) {
            result.verdict = SuiteSignature::Verdict::NotMatching;
            continue;
        }
        result.verdict = SuiteSignature::Verdict::Valid;
        return result;
    }
    if (result.verdict == SuiteSignature::Verdict::NotMatching)
        return result;
    // No chain a phone would take today: the first one tells why.
    const DecodedChain& first = chains.front();
    if (first.from > now) {
        result.verdict = SuiteSignature::Verdict::NotYetValid;
        result.when = first.from;
    } else {
        result.verdict = SuiteSignature::Verdict::Expired;
        result.when = first.until;
    }
    return result;
}
