#pragma once

#include <string>

// The status codes a phone reports at the end of an over-the-air install
// that the game check can foresee.
enum class InstallStatus {
    JarSizeMismatch = 904,
    AttributeMismatch = 905,
    InvalidDescriptor = 906,
    InvalidJar = 907,
};

// "904 JAR size mismatch": the code and its meaning, as an operator reads it.
[[nodiscard]] std::string describe(InstallStatus status);
