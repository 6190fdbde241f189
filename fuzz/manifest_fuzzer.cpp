// The manifest reader on any bytes an archive may hold: the attributes it
// takes are whole, and folding them again at 72 bytes, as archive tools
// do, reads back the same.

#include "ManifestReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kLineBytes = 72;

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "manifest_fuzzer: %s\n", what);
        std::abort();
    }
}

// "name: value" cut into lines of at most 72 bytes, each after the first
// starting with the one space that marks a continuation. A name too long
// for the first line is left whole, as no tool folds inside a name.
std::string folded(const std::string& name, const std::string& value)
{
    const std::string line = name + ": " + value;
    if (name.size() + 2 > kLineBytes)
        return line + "\r\n";
    std::string result = line.substr(0, kLineBytes) + "\r\n";
    for (std::size_t at = kLineBytes; at < line.size(); at += kLineBytes - 1)
        result += " " + line.substr(at, kLineBytes - 1) + "\r\n";
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const AttributeReading reading = readManifest(text);

    std::string rewritten;
    for (const auto& [name, value] : reading.attributes.entries()) {
        require(!name.empty() && name.front() != ' ', "a name that is empty or a continuation");
        require(name.find_first_of(":\r\n") == std::string::npos, "a colon or line end in a name");
        require(value.find_first_of("\r\n") == std::string::npos, "a line end in a value");
        require(value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' &&
                                  value.back() != '\t'),
                "blanks around a value");
        rewritten += folded(name, value);
    }
    for (const ReadProblem& problem : reading.problems)
        require(problem.line >= 1 && !problem.what.empty(), "a problem without a line or words");

    rewritten += "\r\nName: after/the/main.section\r\nSHA1-Digest: x\r\n";
    const AttributeReading again = readManifest(rewritten);
    require(again.problems.empty(), "folded attributes have problems");
    require(again.attributes.entries().size() == reading.attributes.entries().size(), "attributes lost or gained");
    for (std::size_t i = 0; i < again.attributes.entries().size(); ++i) {
        require(again.attributes.entries()[i].name == reading.attributes.entries()[i].name, "a name changed");
        require(again.attributes.entries()[i].value == reading.attributes.entries()[i].value, "a value changed");
    }
    return 0;
}
