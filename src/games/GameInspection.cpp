#include "GameInspection.h"

#include "BoundedRead.h"
#include "ByteCount.h"
#include "DescriptorReader.h"
#include "GameDirectory.h"
#include "InstallStatus.h"
#include "JarUrl.h"
#include "ManifestReader.h"
#include "MidletVersion.h"
#include "MimeType.h"
#include "TextLines.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <set>

namespace {

constexpr std::array<std::string_view, 5> kRequiredAttributes{"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor",
                                                              "MIDlet-Jar-URL", "MIDlet-Jar-Size"};
// The attributes by which a phone tells one game from another: descriptor
// and archive must agree on them to the letter.
constexpr std::array<std::string_view, 3> kIdentityAttributes{"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"};
// More numbered MIDlets than any game has; it bounds the walk through them.
constexpr int kMaxMidlets = 1000;

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string phoneReports(InstallStatus status)
{
    return "a phone reports " + describe(status);
}

class Inspector {
public:
    Inspector(std::string_view gameDirectory, std::string_view descriptorPath, const std::vector<std::string>& origins,
              const InspectionLimits& limits)
        : m_gameDirectory(gameDirectory)
        , m_descriptorPath(descriptorPath)
        , m_origins(origins)
        , m_limits(limits)
    {
    }

    GameInspection run(std::optional<std::string_view> servedText = std::nullopt)
    {
        // A descriptor served under the wrong type never reaches the
        // installer, but the rest is worth fixing in the same pass.
        checkDescriptorType();
        if (servedText ? readDescriptorText(*servedText) : readDescriptorFile())
            checkArchive();
        return std::move(m_result);
    }

private:
    void problem(std::string what, std::string consequence, std::string fix)
    {
        m_result.problems.push_back({std::move(what), std::move(consequence), std::move(fix)});
    }

    std::string mapped(std::string_view requestPath) const { return mapRequestPath(m_gameDirectory, requestPath); }

    void checkDescriptorType()
    {
        const std::string type = GetMimeType(mapped(m_descriptorPath));
        if (type == kDescriptorType)
            return;
        problem("it is served as " + type + ", since its name does not end in \".jad\"",
                "a phone shows it as a page instead of installing the game", "give the descriptor a name ending in .jad");
    }

    bool readDescriptorFile()
    {
        const auto text = readBounded(mapped(m_descriptorPath), m_limits.maxDescriptorBytes);
        if (!text) {
            problem("it cannot be read", "a phone gets an error page", "make the file readable");
            return false;
        }
        if (text->size() > m_limits.maxDescriptorBytes) {
            problem("it is larger than " + std::to_string(m_limits.maxDescriptorBytes) + " bytes",
                    phoneReports(InstallStatus::InvalidDescriptor), "keep only the game's attributes in it");
            return false;
        }
        return readDescriptorText(*text);
    }

    bool readDescriptorText(std::string_view text)
    {
        // One line for a file that is no text at all, not one for each of its "lines".
        if (!looksLikeText(text)) {
            problem("it is not text but a binary file", phoneReports(InstallStatus::InvalidDescriptor),
                    "replace it with the game's descriptor");
            return false;
        }
        AttributeReading reading = readDescriptor(text);
        for (const ReadProblem& found : reading.problems) {
            GameProblem described{"line " + std::to_string(found.line) + ": " + found.what,
                                  found.phoneReadsPast.empty() ? phoneReports(InstallStatus::InvalidDescriptor)
                                                               : found.phoneReadsPast,
                                  found.fix};
            (found.phoneReadsPast.empty() ? m_result.problems : m_result.notes).push_back(std::move(described));
        }
        m_descriptor = std::move(reading.attributes);
        checkRequiredAttributes();
        return true;
    }

    void checkRequiredAttributes()
    {
        std::string missing;
        for (const std::string_view name : kRequiredAttributes) {
            if (!m_descriptor.has(name))
                missing += (missing.empty() ? "" : ", ") + std::string(name);
        }
        if (!missing.empty())
            problem("it lacks " + missing, phoneReports(InstallStatus::InvalidDescriptor),
                    "add the missing attributes, with the values of the archive's manifest");
        if (const auto version = m_descriptor.value("MIDlet-Version"); version && !isMidletVersion(*version))
            problem("MIDlet-Version " + quoted(*version) + " is not of the form major.minor[.micro], each 0 to 99",
                    phoneReports(InstallStatus::InvalidDescriptor), "write it like 1.0 or 1.0.3, in both files");
        if (const auto size = m_descriptor.value("MIDlet-Jar-Size"); size && !parseByteCount(*size))
            problem("MIDlet-Jar-Size " + quoted(*size) + " is not a number of bytes",
                    phoneReports(InstallStatus::InvalidDescriptor), "set it to the archive's size in bytes");
    }

    void checkArchive()
    {
        const auto url = m_descriptor.value("MIDlet-Jar-URL");
        if (!url)
            return;
        const JarLocation location = resolveJarUrl(*url, m_descriptorPath, m_origins);
        switch (location.kind) {
        case JarLocation::Kind::Unusable:
            problem("MIDlet-Jar-URL " + quoted(*url) + " is not an address a phone can use",
                    phoneReports(InstallStatus::InvalidDescriptor),
                    "give the archive a name without blanks and set MIDlet-Jar-URL to that name");
            return;
        case JarLocation::Kind::Loopback:
            problem("MIDlet-Jar-URL " + quoted(*url) + " points at localhost, which for a phone is the phone itself",
                    phoneReports(InstallStatus::InvalidJar),
                    "set MIDlet-Jar-URL to the archive's name alone (an address relative to the descriptor)");
            return;
        case JarLocation::Kind::Elsewhere:
            m_result.archiveElsewhere = std::string(*url);
            return;
        case JarLocation::Kind::Here:
            checkArchiveHere(location.requestPath, *url);
            return;
        }
    }

    void checkArchiveHere(const std::string& requestPath, std::string_view url)
    {
        const std::string file = mapped(requestPath);
        m_result.archive = file;
        const std::string name = shownPath(requestPath);
        std::error_code notThere;
        if (!isServablePath(m_gameDirectory, requestPath) || !std::filesystem::is_regular_file(file, notThere)) {
            problem("MIDlet-Jar-URL " + quoted(url) + " leads to " + name + ", which this server does not serve",
                    phoneReports(InstallStatus::InvalidJar),
                    "put the archive there (not hidden, not a folder) or correct MIDlet-Jar-URL");
            return;
        }
        if (const std::string type = GetMimeType(file); type != kArchiveType)
            problem(name + " is served as " + type + ", since its name does not end in \".jar\"",
                    phoneReports(InstallStatus::InvalidJar),
                    "give the archive a name ending in .jar and set MIDlet-Jar-URL to it");

        // A phone compares the size before it opens the archive.
        checkSize(file, name);
        std::string error;
        const auto archive = JarArchive::open(file, error, m_limits.jar);
        if (!archive) {
            problem("the archive " + name + " is refused: " + error, phoneReports(InstallStatus::InvalidJar),
                    "build the archive again as a jar (zip) file");
            return;
        }
        checkManifest(*archive, name);
    }

    void checkSize(const std::string& file, const std::string& name)
    {
        const auto declared = m_descriptor.value("MIDlet-Jar-Size");
        const std::optional<std::uintmax_t> expected = parseByteCount(declared.value_or(""));
        std::error_code error;
        const std::uintmax_t actual = std::filesystem::file_size(file, error);
        if (error || expected.value_or(actual) == actual)
            return;
        problem("MIDlet-Jar-Size is " + std::string(*declared) + " but " + name + " is " + std::to_string(actual) +
                    " bytes",
                phoneReports(InstallStatus::JarSizeMismatch), "set MIDlet-Jar-Size: " + std::to_string(actual));
    }

    void checkManifest(const JarArchive& archive, const std::string& name)
    {
        std::string error;
        const auto text = archive.readEntry(kManifestEntry, m_limits.maxManifestBytes, error);
        if (!text) {
            problem("the manifest of " + name + " cannot be read: " + error, phoneReports(InstallStatus::InvalidJar),
                    "build the archive again with its manifest, " + std::string(kManifestEntry));
            return;
        }
        AttributeReading reading = readManifest(*text);
        for (const ReadProblem& found : reading.problems)
            problem("line " + std::to_string(found.line) + " of the manifest in " + name + ": " + found.what,
                    phoneReports(InstallStatus::InvalidJar), found.fix);
        const AttributeList& manifest = reading.attributes;
        checkIdentity(manifest);
        checkPlatform(manifest, "MicroEdition-Profile", "MIDP-2.0");
        // The lowest a game can declare: a CLDC 1.0 phone refuses CLDC-1.1.
        checkPlatform(manifest, "MicroEdition-Configuration", "CLDC-1.0");
        checkMidlets(archive, manifest, name);
    }

    void checkIdentity(const AttributeList& manifest)
    {
        for (const std::string_view attribute : kIdentityAttributes) {
            const auto inDescriptor = m_descriptor.value(attribute);
            const auto inManifest = manifest.value(attribute);
            if (!inManifest) {
                problem("the manifest lacks " + std::string(attribute), phoneReports(InstallStatus::InvalidJar),
                        "add " + std::string(attribute) + ": " + std::string(inDescriptor.value_or("...")) +
                            " to the manifest and build the archive again");
            } else if (inDescriptor && *inDescriptor != *inManifest) {
                problem(std::string(attribute) + " is " + quoted(*inDescriptor) + " in the descriptor but " +
                            quoted(*inManifest) + " in the manifest",
                        phoneReports(InstallStatus::AttributeMismatch),
                        "make the two the same (copy the descriptor that was built with this archive)");
            }
        }
    }

    void checkPlatform(const AttributeList& manifest, std::string_view attribute, std::string_view example)
    {
        if (manifest.has(attribute) || m_descriptor.has(attribute))
            return;
        problem("neither the descriptor nor the manifest names " + std::string(attribute),
                phoneReports(InstallStatus::InvalidJar),
                "add " + std::string(attribute) + ": " + std::string(example) + " (or what the game needs)");
    }

    // Every class a MIDlet-<n> line names, in either file, must be in the
    // archive: a phone starts the game from the descriptor's lines or the
    // manifest's.
    void checkMidlets(const JarArchive& archive, const AttributeList& manifest, const std::string& name)
    {
        if (!manifest.has("MIDlet-1") && !m_descriptor.has("MIDlet-1")) {
            problem("neither the descriptor nor the manifest names a MIDlet (MIDlet-1)",
                    phoneReports(InstallStatus::InvalidJar),
                    "add MIDlet-1: <name>, <icon>, <class> naming the game's MIDlet class");
            return;
        }
        std::set<std::string> checked;
        for (const AttributeList* list : {&manifest, static_cast<const AttributeList*>(&m_descriptor)}) {
            for (int n = 1; n <= kMaxMidlets; ++n) {
                const std::string attribute = "MIDlet-" + std::to_string(n);
                const auto value = list->value(attribute);
                if (!value)
                    break;
                if (checked.insert(attribute + "\n" + std::string(*value)).second)
                    checkMidletClass(archive, attribute, *value, name);
            }
        }
    }

    void checkMidletClass(const JarArchive& archive, const std::string& attribute, std::string_view value,
                          const std::string& name)
    {
        // "name, icon, class": the class is the third field.
        std::size_t comma = value.find(',');
        if (comma != std::string_view::npos)
            comma = value.find(',', comma + 1);
        const std::string_view className =
            comma == std::string_view::npos ? std::string_view() : trimBlanks(value.substr(comma + 1));
        if (className.empty()) {
            problem(attribute + " " + quoted(value) + " names no class", phoneReports(InstallStatus::InvalidJar),
                    "write it as " + attribute + ": <name>, <icon>, <class>");
            return;
        }
        std::string entry(className);
        std::replace(entry.begin(), entry.end(), '.', '/');
        entry += ".class";
        if (!archive.hasEntry(entry))
            problem(attribute + " names the class " + std::string(className) + ", but " + name + " has no " + entry,
                    phoneReports(InstallStatus::InvalidJar),
                    "build the archive with that class or correct " + attribute);
    }

    std::string m_gameDirectory;
    std::string m_descriptorPath;
    const std::vector<std::string>& m_origins;
    const InspectionLimits& m_limits;
    AttributeList m_descriptor;
    GameInspection m_result;
};

} // namespace

GameInspection inspectGame(std::string_view gameDirectory, std::string_view descriptorPath,
                           const std::vector<std::string>& origins, const InspectionLimits& limits)
{
    return Inspector(gameDirectory, descriptorPath, origins, limits).run();
}

GameInspection inspectServedDescriptor(std::string_view gameDirectory, std::string_view descriptorPath,
                                       std::string_view text, const std::vector<std::string>& origins,
                                       const InspectionLimits& limits)
{
    return Inspector(gameDirectory, descriptorPath, origins, limits).run(text);
}
