#include "GameInspection.h"

#include "AsciiText.h"
#include "ByteCount.h"
#include "GameDirectory.h"
#include "InstallStatus.h"
#include "JarUrl.h"
#include "MidletVersion.h"
#include "MimeType.h"
#include "SuiteSignature.h"
#include "Utf8.h"
#include "Utf8FileName.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <set>

namespace {

constexpr std::array<std::string_view, 5> kRequiredAttributes{"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor",
                                                              "MIDlet-Jar-URL", "MIDlet-Jar-Size"};
// The attributes by which a phone tells one game from another: descriptor
// and archive must agree on them to the letter.
constexpr std::array<std::string_view, 3> kIdentityAttributes{"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"};

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string phoneReports(InstallStatus status)
{
    return "a phone reports " + describe(status);
}

// "2011-06-30".
std::string dayOf(std::chrono::sys_seconds when)
{
    const std::chrono::year_month_day day(std::chrono::floor<std::chrono::days>(when));
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()));
    return text;
}

// " by CN=Ann (issued by CN=Old Root CA)": who signed, as the first chain names it.
std::string signerOf(const SuiteSignature& signature)
{
    if (signature.chains.empty() || signature.chains.front().empty())
        return {};
    const SuiteCertificate& leaf = signature.chains.front().front();
    return " by " + leaf.subject + " (issued by " + leaf.issuer + ")";
}

std::string shownPaths(const std::vector<std::string>& requestPaths)
{
    std::string shown;
    for (const std::string& path : requestPaths)
        shown += (shown.empty() ? "" : ", ") + shownPath(path);
    return shown;
}

// How a descriptor at `descriptorPath` names `requestPath` in MIDlet-Jar-URL:
// relative to its own folder when the file lies there or below, else from
// the top of this server.
std::string addressFrom(std::string_view descriptorPath, const std::string& requestPath)
{
    const std::string_view folder = descriptorPath.substr(0, descriptorPath.rfind('/') + 1);
    return requestPath.starts_with(folder) ? requestPath.substr(folder.size()) : requestPath;
}

class Inspector {
public:
    Inspector(const GameRecord& record, const std::vector<std::string>& origins)
        : m_record(record)
        , m_origins(origins)
    {
    }

    GameInspection run(std::optional<std::string_view> servedText = std::nullopt)
    {
        // A descriptor served under the wrong type never reaches the
        // installer, but the rest is worth fixing in the same pass.
        checkDescriptorType();
        if (servedText ? readDescriptorText(*servedText) : readDescriptor())
            checkArchive();
        return std::move(m_result);
    }

private:
    void problem(std::string what, std::string consequence, std::string fix)
    {
        m_result.problems.push_back({std::move(what), std::move(consequence), std::move(fix)});
    }

    std::string mapped(std::string_view requestPath) const
    {
        return mapRequestPath(m_record.gameDirectory, requestPath);
    }

    void checkDescriptorType()
    {
        const std::string type = GetMimeType(m_record.descriptorFile);
        if (type == kDescriptorType)
            return;
        problem("it is served as " + type + ", since its name does not end in \".jad\"",
                "a phone shows it as a page instead of installing the game", "give the descriptor a name ending in .jad");
    }

    bool readDescriptor()
    {
        switch (m_record.text) {
        case GameRecord::Text::Unreadable:
            problem("it cannot be read", "a phone gets an error page", "make the file readable");
            return false;
        case GameRecord::Text::TooLarge:
            problem("it is larger than " + std::to_string(kMaxDescriptorBytes) + " bytes",
                    phoneReports(InstallStatus::InvalidDescriptor), "keep only the game's attributes in it");
            return false;
        case GameRecord::Text::NotText:
            tellNotText();
            return false;
        case GameRecord::Text::Read:
            break;
        }
        takeReading(m_record.reading.asPhoneReadsIt);
        return true;
    }

    bool readDescriptorText(std::string_view text)
    {
        // One line for a file that is no text at all, not one for each of its "lines".
        if (!looksLikeText(text)) {
            tellNotText();
            return false;
        }
        takeReading(::readDescriptor(text));
        return true;
    }

    void tellNotText()
    {
        problem("it is not text but a binary file", phoneReports(InstallStatus::InvalidDescriptor),
                "replace it with the game's descriptor");
    }

    void takeReading(const AttributeReading& reading)
    {
        for (const ReadProblem& found : reading.problems) {
            GameProblem described{"line " + std::to_string(found.line) + ": " + found.what,
                                  found.phoneReadsPast.empty() ? phoneReports(InstallStatus::InvalidDescriptor)
                                                               : found.phoneReadsPast,
                                  found.fix};
            (found.phoneReadsPast.empty() ? m_result.problems : m_result.notes).push_back(std::move(described));
        }
        m_descriptor = reading.attributes;
        checkRequiredAttributes();
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
        const JarLocation location = resolveJarUrl(*url, m_record.descriptorPath, m_origins);
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

    void checkArchiveHere(const std::string& urlPath, std::string_view url)
    {
        const ArchiveLookup lookup = lookUp(servedPath(m_record, urlPath));
        m_result.archive = mapped(lookup.requestPath.empty() ? lookup.asNamed : lookup.requestPath);
        switch (lookup.kind) {
        case ArchiveLookup::Kind::Missing:
            problem("MIDlet-Jar-URL " + quoted(url) + " leads to " + shownPath(lookup.asNamed) +
                        ", which this server does not serve",
                    phoneReports(InstallStatus::InvalidJar),
                    "put the archive there (not hidden, not a folder) or correct MIDlet-Jar-URL");
            return;
        case ArchiveLookup::Kind::Several:
            problem("MIDlet-Jar-URL " + quoted(url) + " matches no file as written but " +
                        std::to_string(lookup.matches.size()) + " in other letters: " + shownPaths(lookup.matches),
                    phoneReports(InstallStatus::InvalidJar),
                    "keep one of them and set MIDlet-Jar-URL to its name, letter for letter");
            return;
        case ArchiveLookup::Kind::OtherCase:
            // The rest of the check goes on against that file: it is the one
            // the descriptor means, and the one the repair serves.
            problem("the archive is " + shownPath(lookup.requestPath) + ", the descriptor says " + std::string(url) +
                        ", and a name is served only in its own letter case",
                    phoneReports(InstallStatus::InvalidJar),
                    "set MIDlet-Jar-URL: " + addressFrom(m_record.descriptorPath, lookup.requestPath) +
                        ", the name on disk");
            break;
        case ArchiveLookup::Kind::Found:
            break;
        }
        checkArchiveFile(lookup.requestPath);
    }

    // The record's lookup of the path, or the path looked up now when the record did not foresee it.
    ArchiveLookup lookUp(const std::string& path) const
    {
        if (const ArchiveLookup* known = m_record.lookup(path))
            return *known;
        if (m_record.archive(path)) {
            ArchiveLookup found;
            found.kind = ArchiveLookup::Kind::Found;
            found.asNamed = found.requestPath = path;
            return found;
        }
        return lookUpArchive(m_record.gameDirectory, path);
    }

    void checkArchiveFile(const std::string& requestPath)
    {
        const std::string file = mapped(requestPath);
        const std::string name = shownPath(requestPath);
        if (const std::string type = GetMimeType(file); type != kArchiveType)
            problem(name + " is served as " + type + ", since its name does not end in \".jar\"",
                    phoneReports(InstallStatus::InvalidJar),
                    "give the archive a name ending in .jar and set MIDlet-Jar-URL to it");
        const ArchiveReading* archive = m_record.archive(requestPath);
        if (!archive) {
            // Not foreseen by the record: read now.
            const std::optional<FileStamp> stamp = fileStamp(file);
            if (!stamp) {
                problem("MIDlet-Jar-URL leads to " + name + ", which this server does not serve",
                        phoneReports(InstallStatus::InvalidJar), "put the archive there or correct MIDlet-Jar-URL");
                return;
            }
            ArchiveQuestions questions;
            questions.descriptors = {&m_descriptor};
            m_unforeseen = readArchive(file, requestPath, *stamp, questions, JarArchive::open);
            archive = &*m_unforeseen;
        }
        // A phone compares the size before it opens the archive.
        checkSize(archive->stamp.size, name);
        if (!archive->opened()) {
            problem("the archive " + name + " is refused: " + archive->refused, phoneReports(InstallStatus::InvalidJar),
                    "build the archive again as a jar (zip) file");
            return;
        }
        checkManifest(*archive, name);
        checkSignature(*archive, name);
    }

    // A signed suite installs only while its certificates are in date on
    // the phone and its signature is over the archive served.
    void checkSignature(const ArchiveReading& archive, const std::string& name)
    {
        const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        const SuiteSignature signature =
            readSuiteSignature(m_descriptor, archive.digest ? &*archive.digest : nullptr, now);
        const std::string serveUnsigned = "serve it unsigned: remove MIDlet-Jar-RSA-SHA1 and every MIDlet-Certificate line";
        switch (signature.verdict) {
        case SuiteSignature::Verdict::Unsigned:
        case SuiteSignature::Verdict::Valid:
            return;
        case SuiteSignature::Verdict::Expired:
            problem("it is signed" + signerOf(signature) + ", and its certificate expired on " + dayOf(signature.when),
                    phoneReports(InstallStatus::AuthenticationFailure) + " (\"Certificate expired\")", serveUnsigned);
            return;
        case SuiteSignature::Verdict::NotYetValid:
            problem("it is signed" + signerOf(signature) + " with a certificate valid only from " +
                        dayOf(signature.when),
                    phoneReports(InstallStatus::AuthenticationFailure) + " on a phone whose date is before that",
                    serveUnsigned);
            return;
        case SuiteSignature::Verdict::Unreadable:
            problem("it is signed, but " + signature.problem, phoneReports(InstallStatus::AuthenticationFailure),
                    serveUnsigned);
            return;
        case SuiteSignature::Verdict::NotMatching:
            problem("its signature is not over " + name + ", which was built again after signing",
                    phoneReports(InstallStatus::AuthenticationFailure), serveUnsigned);
            return;
        }
    }

    void checkSize(std::uintmax_t actual, const std::string& name)
    {
        const auto declared = m_descriptor.value("MIDlet-Jar-Size");
        const std::optional<std::uintmax_t> expected = parseByteCount(declared.value_or(""));
        if (expected.value_or(actual) == actual)
            return;
        problem("MIDlet-Jar-Size is " + std::string(*declared) + " but " + name + " is " + std::to_string(actual) +
                    " bytes",
                phoneReports(InstallStatus::JarSizeMismatch), "set MIDlet-Jar-Size: " + std::to_string(actual));
    }

    void checkManifest(const ArchiveReading& archive, const std::string& name)
    {
        if (!archive.manifest) {
            problem("the manifest of " + name + " cannot be read: " + archive.manifestError,
                    phoneReports(InstallStatus::InvalidJar),
                    "build the archive again with its manifest, " + std::string(kManifestEntry));
            return;
        }
        for (const ReadProblem& found : archive.manifest->problems)
            problem("line " + std::to_string(found.line) + " of the manifest in " + name + ": " + found.what,
                    phoneReports(InstallStatus::InvalidJar), found.fix);
        const AttributeList& manifest = archive.manifest->attributes;
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
    void checkMidlets(const ArchiveReading& archive, const AttributeList& manifest, const std::string& name)
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

    void checkMidletClass(const ArchiveReading& archive, const std::string& attribute, std::string_view value,
                          const std::string& name)
    {
        const std::optional<std::string> entry = midletClassEntry(value);
        if (!entry) {
            problem(attribute + " " + quoted(value) + " names no class", phoneReports(InstallStatus::InvalidJar),
                    "write it as " + attribute + ": <name>, <icon>, <class>");
            return;
        }
        if (!hasEntry(archive, *entry)) {
            problem(attribute + " names the class " + classNameIn(value) + ", but " + name + " has no " + *entry,
                    phoneReports(InstallStatus::InvalidJar),
                    "build the archive with that class or correct " + attribute);
        }
    }

    // Whether the archive has the entry: as the record read it, or asked now when it was not foreseen.
    bool hasEntry(const ArchiveReading& archive, const std::string& entry) const
    {
        if (const std::optional<bool> known = archive.hasEntry(entry))
            return *known;
        std::string error;
        const std::optional<JarArchive> opened = JarArchive::open(pathFromUtf8(archive.file), error);
        return opened && opened->hasEntry(entry);
    }

    // The class as the MIDlet-<n> value writes it (its third field).
    static std::string classNameIn(std::string_view value)
    {
        const std::size_t comma = value.find(',', value.find(',') + 1);
        return std::string(trimBlanks(value.substr(comma + 1)));
    }

    const GameRecord& m_record;
    const std::vector<std::string>& m_origins;
    AttributeList m_descriptor;
    std::optional<ArchiveReading> m_unforeseen;
    GameInspection m_result;
};

} // namespace

GameInspection inspectRecord(const GameRecord& record, const std::vector<std::string>& origins)
{
    return Inspector(record, origins).run();
}

GameInspection inspectServedDescriptor(const GameRecord& record, std::string_view text,
                                       const std::vector<std::string>& origins)
{
    return Inspector(record, origins).run(text);
}

GameInspection inspectGame(std::string_view gameDirectory, std::string_view descriptorPath,
                           const std::vector<std::string>& origins)
{
    const RecordReading how{std::string(gameDirectory)};
    return inspectRecord(*readGameRecord(how, std::string(descriptorPath)), origins);
}
