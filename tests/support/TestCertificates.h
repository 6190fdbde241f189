#pragma once

#include "Base64Text.h"

#include <gcrypt.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Certificates and signatures made here, with throwaway RSA keys: X.509
// version 3 in DER, signed with SHA-1 and RSA as the suites of the time
// were. Nothing is taken from a real game.
class TestKey {
public:
    TestKey()
    {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        gcry_sexp_t parameters = nullptr;
        gcry_sexp_build(&parameters, nullptr, "(genkey (rsa (nbits 4:1024)))");
        gcry_sexp_t pair = nullptr;
        gcry_pk_genkey(&pair, parameters);
        gcry_sexp_release(parameters);
        m_pair.reset(pair);
    }

    // The modulus and exponent as DER INTEGER contents.
    [[nodiscard]] std::string modulus() const { return integerOf("n"); }
    [[nodiscard]] std::string exponent() const { return integerOf("e"); }

    // The PKCS #1 v1.5 signature of `bytes` with SHA-1, as long as the modulus.
    [[nodiscard]] std::string sign(std::string_view bytes) const
    {
        unsigned char digest[20];
        gcry_md_hash_buffer(GCRY_MD_SHA1, digest, bytes.data(), bytes.size());
        gcry_sexp_t data = nullptr;
        gcry_sexp_build(&data, nullptr, "(data (flags pkcs1) (hash sha1 %b))", 20, digest);
        gcry_sexp_t secret = gcry_sexp_find_token(m_pair.get(), "private-key", 0);
        gcry_sexp_t signature = nullptr;
        gcry_pk_sign(&signature, data, secret);
        gcry_sexp_t s = gcry_sexp_find_token(signature, "s", 0);
        std::size_t length = 0;
        const char* value = gcry_sexp_nth_data(s, 1, &length);
        std::string bytesOut(value, length);
        gcry_sexp_release(s);
        gcry_sexp_release(signature);
        gcry_sexp_release(secret);
        gcry_sexp_release(data);
        const std::size_t full = (gcry_pk_get_nbits(m_pair.get()) + 7) / 8;
        return std::string(full > bytesOut.size() ? full - bytesOut.size() : 0, '\0') + bytesOut;
    }

private:
    struct Release {
        void operator()(gcry_sexp_t sexp) const { gcry_sexp_release(sexp); }
    };

    std::string integerOf(const char* name) const
    {
        gcry_sexp_t token = gcry_sexp_find_token(m_pair.get(), name, 0);
        gcry_mpi_t number = gcry_sexp_nth_mpi(token, 1, GCRYMPI_FMT_USG);
        unsigned char* buffer = nullptr;
        std::size_t length = 0;
        // The standard format is two's complement: a leading zero where the top bit is set, as DER wants.
        gcry_mpi_aprint(GCRYMPI_FMT_STD, &buffer, &length, number);
        std::string bytes(reinterpret_cast<const char*>(buffer), length);
        gcry_free(buffer);
        gcry_mpi_release(number);
        gcry_sexp_release(token);
        return bytes;
    }

    std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, Release> m_pair;
};

namespace der {

inline std::string element(unsigned char tag, std::string_view content)
{
    std::string out(1, static_cast<char>(tag));
    if (content.size() < 0x80) {
        out += static_cast<char>(content.size());
    } else {
        std::string length;
        for (std::size_t left = content.size(); left > 0; left >>= 8)
            length.insert(length.begin(), static_cast<char>(left & 0xFF));
        out += static_cast<char>(0x80 | length.size());
        out += length;
    }
    return out.append(content);
}

inline std::string sequence(std::string_view content) { return element(0x30, content); }

// sha1WithRSAEncryption, with its NULL parameters.
inline std::string sha1WithRsa()
{
    return sequence(std::string("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x01\x05\x05\x00", 13));
}

inline std::string rsaEncryption()
{
    return sequence(std::string("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x01\x01\x05\x00", 13));
}

// A name of one common name.
inline std::string name(std::string_view commonName)
{
    return sequence(element(0x31, sequence(std::string("\x06\x03\x55\x04\x03", 5) + element(0x0C, commonName))));
}

// UTCTime for 1950 to 2049, GeneralizedTime beyond, as X.509 wants.
inline std::string time(std::chrono::sys_seconds when)
{
    const auto day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(when - day);
    const int year = static_cast<int>(date.year());
    char text[40];
    const bool utc = year >= 1950 && year < 2050;
    std::snprintf(text, sizeof text, utc ? "%02d%02u%02u%02ld%02ld%02ldZ" : "%04d%02u%02u%02ld%02ld%02ldZ",
                  utc ? year % 100 : year, static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return element(utc ? 0x17 : 0x18, text);
}

} // namespace der

// A certificate for `subject`'s key, signed by `issuerKey` in the name of `issuer`.
inline std::string makeCertificate(const TestKey& subjectKey, std::string_view subject, const TestKey& issuerKey,
                                   std::string_view issuer, std::chrono::sys_seconds notBefore,
                                   std::chrono::sys_seconds notAfter, std::uint8_t serial = 1)
{
    const std::string publicKey =
        der::sequence(der::element(0x02, subjectKey.modulus()) + der::element(0x02, subjectKey.exponent()));
    const std::string tbs = der::sequence(
        std::string("\xA0\x03\x02\x01\x02", 5) + der::element(0x02, std::string(1, static_cast<char>(serial))) +
        der::sha1WithRsa() + der::name(issuer) + der::sequence(der::time(notBefore) + der::time(notAfter)) +
        der::name(subject) + der::sequence(der::rsaEncryption() + der::element(0x03, std::string(1, '\0') + publicKey)));
    return der::sequence(tbs + der::sha1WithRsa() + der::element(0x03, std::string(1, '\0') + issuerKey.sign(tbs)));
}
