#include "ManifestReader.h"

#include "TextLines.h"

#include <optional>
#include <string>

namespace {

struct PendingAttribute {
    std::string name;
    std::string value;
};

void finish(std::optional<PendingAttribute>& pending, AttributeList& attributes)
{
    if (pending)
        attributes.add(std::move(pending->name), std::string(trimBlanks(pending->value)));
    pending.reset();
}

} // namespace

AttributeReading readManifest(std::string_view text)
{
    AttributeReading reading;
    // Blanks at the end of a folded piece belong to the value, so values are
    // trimmed only once they are whole.
    std::optional<PendingAttribute> pending;
    std::size_t number = 0;
    for (const std::string_view line : splitLines(text)) {
        ++number;
        if (line.empty())
            break;
        if (line.front() == ' ') {
            if (pending)
                pending->value.append(line.substr(1));
            else
                reading.problems.push_back({number, "a continued line with no attribute before it",
                                            "remove the space at its start or the line"});
            continue;
        }
        finish(pending, reading.attributes);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            reading.problems.push_back({number, "a line without \":\" (\"" + std::string(line) + "\")",
                                        "write it as \"Name: value\" or remove it"});
            continue;
        }
        if (colon == 0) {
            reading.problems.push_back({number, "a line without a name before \":\"", "give the attribute its name"});
            continue;
        }
        pending = PendingAttribute{std::string(line.substr(0, colon)), std::string(line.substr(colon + 1))};
    }
    finish(pending, reading.attributes);
    return reading;
}
