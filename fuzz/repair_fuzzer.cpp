// The descriptor repair on any descriptor bytes and any manifest: what it
// serves must read back as a clean descriptor holding exactly what it
// wrote, and repairing that again must change nothing; what it cannot read
// is served unchanged.
//
// Input: the manifest's text, a NUL byte, the descriptor's bytes.

#include "DescriptorReader.h"
#include "DescriptorRepair.h"
#include "JarFile.h"
#include "Utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "repair_fuzzer: %s\n", what);
        std::abort();
    }
}

const fs::path& folder()
{
    static const fs::path made = [] {
        fs::path path = fs::temp_directory_path() / ("tarnwick-repair-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return made;
}

void checkClean(const std::string& text)
{
    require(!firstInvalidUtf8(text), "not UTF-8");
    require(!text.starts_with("\xEF\xBB\xBF"), "a byte-order mark");
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        require(end != std::string::npos, "a line without CR LF");
        const std::string_view line = std::string_view(text).substr(start, end - start);
        require(line.find_first_of("\r\n") == std::string_view::npos, "a bare line break");
        require(line.find(": ") != std::string_view::npos, "a line that is no attribute");
        start = end + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos)
        return 0;
    JarFile().add("META-INF/MANIFEST.MF", std::string(input.substr(0, split))).write(folder() / "game.jar");
    const std::string_view descriptor = input.substr(split + 1);

    const RepairContext context{folder().string(), "/game.jad", "http://192.168.1.5:8080", true,
                                "http://192.168.1.5:8080/.install-report/1"};
    const auto repaired = repairDescriptor(descriptor, context);
    if (!repaired)
        return 0;
    checkClean(repaired->text);
    const AttributeReading reading = readDescriptor(repaired->text);
    std::string written;
    for (const auto& [name, value] : reading.attributes.entries())
        written += name + ": " + value + "\r\n";
    require(written == repaired->text, "the text does not read back as written");
    // A text of mostly control characters may no longer pass for text once
    // the lines around them are gone; one that does must come back the same.
    const auto again = repairDescriptor(repaired->text, context);
    require(!again || again->text == repaired->text, "a second repair changed the text");
    return 0;
}
