#pragma once

#include <string>
#include <string_view>

// The status codes a phone reports at the end of an over-the-air install
// that the game check can foresee.
enum class InstallStatus {
    JarSizeMismatch = 904,
    AttributeMismatch = 905,
    InvalidDescriptor = 906,
    InvalidJar = 907,
    AuthenticationFailure = 909,
};

// What a status code from 900 to 999 means, as an operator reads it ("JAR
// size mismatch"): the install codes 900-912, the 913 and 999 of some
// handsets and the 951-954 of download descriptors; "unknown code" for the
// others.
[[nodiscard]] std::string_view statusMeaning(int code);

// "904 JAR size mismatch": the code and its meaning.
[[nodiscard]] std::string describe(InstallStatus status);
