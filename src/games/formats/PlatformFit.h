#pragma once

#include "AttributeList.h"

#include <optional>
#include <string>
#include <string_view>

// The Java platform a phone has or a game needs: the profile ("MIDP-2.0")
// and the configuration ("CLDC-1.1"); either may be unknown (empty).
struct Platform {
    std::string profile;
    std::string configuration;
};

// The highest "<family>-<major>.<minor>" named anywhere in `text`
// ("MIDP-2.0" from "Profile/MIDP-2.0", "MIDP-1.0 MIDP-2.0" or
// "MIDP-2.0/CLDC-1.1"); empty when none is.
[[nodiscard]] std::string highestPlatformToken(std::string_view text, std::string_view family);

// What a game asks of a phone, as its archive's `manifest` declares it (a
// phone installs from the archive); where the manifest is silent or was not
// read (none), as the descriptor's attributes do.
[[nodiscard]] Platform gamePlatform(const AttributeList& descriptor, const AttributeList* manifest);

// When a phone that has `phone` cannot run a game that needs `game`:
// "needs MIDP-2.0; this phone has MIDP-1.0: it will report 908". Nothing
// when it can, or when either side does not say.
[[nodiscard]] std::optional<std::string> platformShortfall(const Platform& phone, const Platform& game);
