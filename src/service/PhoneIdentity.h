#pragma once

#include "PlatformFit.h"

#include <string>
#include <string_view>

// A phone as its requests describe it.
struct PhoneIdentity {
    // The maker and model an operator recognises ("Nokia 6300"); empty
    // when the request does not say.
    std::string model;
    // What the User-Agent declares ("MIDP-2.0", "CLDC-1.1"); empty when it does not.
    Platform platform;
};

// The longest User-Agent or x-wap-profile read; the rest is not looked at.
inline constexpr std::size_t kMaxPhoneHeaderBytes = 512;

// Reads the maker and model from the start of the User-Agent
// ("Nokia6300/2.0 (05.00) Profile/MIDP-2.0 Configuration/CLDC-1.1" gives
// "Nokia 6300"), or from the product token inside a browser's parentheses
// ("Mozilla/5.0 (SymbianOS/9.2; ... NokiaN95/11.0.026; ...)"); else from the
// device profile that `wapProfile` names on the maker's server
// ("http://wap.sonyericsson.com/UAprof/K750iR101.xml"). The model keeps
// only letters, digits and "-._+", and at most 32 of them, whatever the
// header holds.
[[nodiscard]] PhoneIdentity identifyPhone(std::string_view userAgent, std::string_view wapProfile = {});
