#include "ListMarkup.h"

#include "AsciiText.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace {

struct MediaRange {
    std::string type; // "text/html", "text/*", "*/*", in lower case
    double quality = 1.0;
};

// "q=0.5" as a quality value from 0 to 1; nothing when it is not one.
std::optional<double> readQuality(std::string_view value)
{
    double quality = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), quality);
    if (error != std::errc() || end != value.data() + value.size() || quality < 0 || quality > 1)
        return std::nullopt;
    return quality;
}

// One element of the field ("type/subtype;param=x;q=0.8"), or nothing when it is malformed.
std::optional<MediaRange> readMediaRange(std::string_view element)
{
    std::size_t semicolon = element.find(';');
    MediaRange range{asciiLowerCase(trimBlanks(element.substr(0, semicolon))), 1.0};
    const std::size_t slash = range.type.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == range.type.size())
        return std::nullopt;
    while (semicolon != std::string_view::npos) {
        const std::size_t next = element.find(';', semicolon + 1);
        const std::string_view parameter = trimBlanks(element.substr(semicolon + 1, next - semicolon - 1));
        if (parameter.size() >= 2 && asciiLower(parameter[0]) == 'q' && parameter[1] == '=') {
            const std::optional<double> quality = readQuality(trimBlanks(parameter.substr(2)));
            if (!quality)
                return std::nullopt;
            range.quality = *quality;
        }
        semicolon = next;
    }
    return range;
}

std::vector<MediaRange> readAccept(std::string_view accept)
{
    std::vector<MediaRange> ranges;
    std::size_t start = 0;
    while (start <= accept.size()) {
        const std::size_t comma = std::min(accept.find(',', start), accept.size());
        if (std::optional<MediaRange> range = readMediaRange(accept.substr(start, comma - start)))
            ranges.push_back(std::move(*range));
        start = comma + 1;
    }
    return ranges;
}

// How much the browser wants one markup: its quality value, whether a
// range named its type outright, and where that range stood.
struct Preference {
    double quality = 0;
    bool named = false;
    std::size_t position = 0;

    [[nodiscard]] bool before(const Preference& other) const
    {
        if (quality != other.quality)
            return quality > other.quality;
        if (named != other.named)
            return named;
        return named && position < other.position;
    }
};

// 2 for the type itself, 1 for "text/*", 0 for "*/*", -1 for no match.
int specificity(const std::string& range, std::string_view type)
{
    if (range == type)
        return 2;
    if (range == "*/*")
        return 0;
    const std::string_view major = type.substr(0, type.find('/') + 1);
    return range.size() == major.size() + 1 && range.starts_with(major) && range.back() == '*' ? 1 : -1;
}

Preference preferenceFor(const std::vector<MediaRange>& ranges, std::string_view type)
{
    Preference preference;
    int best = -1;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const int match = specificity(ranges[i].type, type);
        if (match > best) {
            best = match;
            preference = {ranges[i].quality, match == 2, i};
        }
    }
    return preference;
}

} // namespace

ListMarkup chooseListMarkup(std::string_view accept)
{
    const std::vector<MediaRange> ranges = readAccept(accept);
    if (ranges.empty())
        return ListMarkup::Html;
    struct Candidate {
        ListMarkup markup;
        std::vector<std::string_view> types;
    };
    // In the order that decides a tie nothing else breaks.
    const std::array<Candidate, 3> candidates{{
        {ListMarkup::Html, {"text/html"}},
        {ListMarkup::XhtmlMobile, {"application/vnd.wap.xhtml+xml", "application/xhtml+xml"}},
        {ListMarkup::Wml, {"text/vnd.wap.wml"}},
    }};
    ListMarkup chosen = ListMarkup::Html;
    Preference best;
    for (const Candidate& candidate : candidates) {
        for (const std::string_view type : candidate.types) {
            const Preference preference = preferenceFor(ranges, type);
            if (preference.quality > 0 && preference.before(best)) {
                best = preference;
                chosen = candidate.markup;
            }
        }
    }
    return chosen;
}

std::string_view mimeTypeOf(ListMarkup markup)
{
    switch (markup) {
    case ListMarkup::XhtmlMobile:
        return "application/vnd.wap.xhtml+xml";
    case ListMarkup::Wml:
        return "text/vnd.wap.wml";
    case ListMarkup::Html:
        break;
    }
    return "text/html";
}
