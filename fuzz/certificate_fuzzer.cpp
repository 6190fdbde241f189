// The reading of a signed suite's certificates and signature on any bytes:
// the first byte chooses whether the rest is a certificate's DER (encoded
// as a descriptor carries it), the base64 text of one, or a signature over
// the archive; the verdict is always one with its words, never a crash.

#include "Base64.h"
#include "Base64Text.h"
#include "SuiteSignature.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Kept in builds with NDEBUG, unlike assert.
void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "certificate_fuzzer: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    AttributeList descriptor;
    switch (data[0] % 3) {
    case 0:
        descriptor.add("MIDlet-Certificate-1-1", encodeBase64(rest));
        descriptor.add("MIDlet-Jar-RSA-SHA1", "AAAA");
        break;
    case 1:
        require(!decodeBase64(rest) || decodeBase64(rest)->size() <= rest.size(), "base64 grew");
        descriptor.add("MIDlet-Certificate-1-1", std::string(rest));
        descriptor.add("MIDlet-Jar-RSA-SHA1", "AAAA");
        break;
    default:
        descriptor.add("MIDlet-Certificate-1-1", "AAAA");
        descriptor.add("MIDlet-Jar-RSA-SHA1", encodeBase64(rest));
        break;
    }
    const ArchiveDigest archive{};
    const SuiteSignature signature =
        readSuiteSignature(descriptor, &archive, std::chrono::sys_days(std::chrono::year(2026) / 12 / 11));
    require(signature.verdict != SuiteSignature::Verdict::Unsigned, "a signed suite taken as unsigned");
    require((signature.verdict == SuiteSignature::Verdict::Unreadable) == !signature.problem.empty(),
            "an unreadable signature without words, or words without one");
    for (const auto& chain : signature.chains)
        require(!chain.empty(), "a chain without a certificate");
    return 0;
}
