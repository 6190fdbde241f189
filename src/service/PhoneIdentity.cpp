#include "PhoneIdentity.h"

#include "AsciiText.h"

#include <array>
#include <cctype>

namespace {

constexpr std::size_t kMaxModelBytes = 32;

struct Maker {
    // How the product token begins, in any letter case.
    std::string_view prefix;
    std::string_view shown;
};

// The longer prefix of a maker first ("SonyEricsson" before "Ericsson").
constexpr std::array<Maker, 17> kMakers{{
    {"SonyEricsson", "Sony Ericsson"},
    {"Ericsson", "Ericsson"},
    {"Nokia", "Nokia"},
    {"MOT-", "Motorola"},
    {"Motorola", "Motorola"},
    {"SAMSUNG", "Samsung"},
    {"SEC-", "Samsung"},
    {"LGE-", "LG"},
    {"LG-", "LG"},
    {"LG/", "LG"},
    {"SIE-", "Siemens"},
    {"BlackBerry", "BlackBerry"},
    {"SAGEM", "Sagem"},
    {"Alcatel", "Alcatel"},
    {"SHARP", "Sharp"},
    {"Panasonic", "Panasonic"},
    {"Philips", "Philips"},
}};

bool isModelCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_' || c == '+';
}

// The model at the start of `rest`: up to the version's "/" or anything
// else a model is not made of.
std::string modelAt(std::string_view rest)
{
    while (!rest.empty() && (rest.front() == '-' || rest.front() == '_'))
        rest.remove_prefix(1);
    std::string model;
    for (const char c : rest) {
        if (!isModelCharacter(c) || model.size() == kMaxModelBytes)
            break;
        model += c;
    }
    return model;
}

// "Nokia 6300" when `token` begins with a maker's prefix and a model follows.
std::string makerAndModel(std::string_view token)
{
    for (const Maker& maker : kMakers) {
        if (token.size() <= maker.prefix.size() || !equalsIgnoringCase(token.substr(0, maker.prefix.size()), maker.prefix))
            continue;
        const std::string model = modelAt(token.substr(maker.prefix.size()));
        if (!model.empty())
            return std::string(maker.shown) + " " + model;
    }
    return {};
}

// The first token of the User-Agent, else one inside its parentheses.
std::string modelFromUserAgent(std::string_view userAgent)
{
    constexpr std::string_view kSeparators = " ;()";
    std::size_t start = 0;
    while (start < userAgent.size()) {
        const std::size_t end = std::min(userAgent.find_first_of(kSeparators, start), userAgent.size());
        if (std::string found = makerAndModel(userAgent.substr(start, end - start)); !found.empty())
            return found;
        start = end + 1;
    }
    return {};
}

// The device profile's host names the maker, its file the model.
std::string modelFromWapProfile(std::string_view address)
{
    address = trimBlanks(address, " \t\"");
    const auto scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return {};
    const std::string_view rest = address.substr(scheme + 3);
    const std::string host = asciiLowerCase(rest.substr(0, rest.find('/')));
    const auto slash = rest.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    const std::string model = modelAt(rest.substr(slash + 1, rest.find('.', slash) - slash - 1));
    if (model.empty())
        return {};
    for (const Maker& maker : kMakers) {
        std::string word = asciiLowerCase(maker.shown);
        std::erase(word, ' ');
        if (host.find(word) != std::string::npos)
            return std::string(maker.shown) + " " + model;
    }
    return {};
}

} // namespace

PhoneIdentity identifyPhone(std::string_view userAgent, std::string_view wapProfile)
{
    userAgent = userAgent.substr(0, kMaxPhoneHeaderBytes);
    wapProfile = wapProfile.substr(0, kMaxPhoneHeaderBytes);
    PhoneIdentity phone;
    phone.model = modelFromUserAgent(userAgent);
    if (phone.model.empty())
        phone.model = modelFromWapProfile(wapProfile);
    phone.platform = {highestPlatformToken(userAgent, "MIDP"), highestPlatformToken(userAgent, "CLDC")};
    return phone;
}
