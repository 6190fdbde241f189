#pragma once

#include <string_view>

// Whether `version` has the form a phone accepts for MIDlet-Version:
// major.minor or major.minor.micro, each part digits with a value 0..99.
[[nodiscard]] bool isMidletVersion(std::string_view version);
