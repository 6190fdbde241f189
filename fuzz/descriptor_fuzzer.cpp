// The descriptor reader on any bytes a game folder may hold: whatever it
// takes must be what a phone would take, and a clean descriptor written
// back from what it took must read the same.

#include "DescriptorReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

// Kept in builds with NDEBUG, unlike assert.
void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "descriptor_fuzzer: %s\n", what);
        std::abort();
    }
}

bool hasBlankOrControl(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

void checkAttributes(const AttributeReading& reading, std::size_t lineCount)
{
    std::set<std::string_view> names;
    for (const auto& [name, value] : reading.attributes.entries()) {
        require(!name.empty(), "an attribute without a name");
        require(name.find(':') == std::string::npos, "a colon in a name");
        require(names.insert(name).second, "a name taken twice");
        require(value.find_first_of("\r\n") == std::string::npos, "a line end in a value");
        require(value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' &&
                                  value.back() != '\t'),
                "blanks around a value");
    }
    for (const ReadProblem& problem : reading.problems) {
        require(problem.line >= 1 && problem.line <= lineCount + 1, "a problem outside the text");
        require(!problem.what.empty() && !problem.fix.empty(), "a problem without words");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const AttributeReading reading = readDescriptor(text);
    std::size_t lineEnds = 0;
    for (const char c : text)
        lineEnds += c == '\n' || c == '\r';
    checkAttributes(reading, lineEnds);

    // What a phone accepts without complaint, written as a descriptor
    // writer would, reads back the same and still without complaint.
    bool clean = true;
    std::string rewritten;
    for (const auto& [name, value] : reading.attributes.entries()) {
        clean = clean && !hasBlankOrControl(name) && name.size() <= kMaxDescriptorNameBytes;
        rewritten += name + ": " + value + "\r\n";
    }
    if (!clean || !reading.problems.empty())
        return 0;
    const AttributeReading again = readDescriptor(rewritten);
    require(again.problems.empty(), "a clean descriptor written back has problems");
    require(again.attributes.entries().size() == reading.attributes.entries().size(), "attributes lost or gained");
    for (std::size_t i = 0; i < again.attributes.entries().size(); ++i) {
        require(again.attributes.entries()[i].name == reading.attributes.entries()[i].name, "a name changed");
        require(again.attributes.entries()[i].value == reading.attributes.entries()[i].value, "a value changed");
    }
    return 0;
}
