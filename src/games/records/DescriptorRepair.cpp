#include "DescriptorRepair.h"

#include "ByteCount.h"
#include "GameDirectory.h"
#include "GameRecord.h"
#include "JarUrl.h"
#include "PrintableText.h"
#include "Utf8.h"
#include "WebText.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::string_view kJarUrl = "MIDlet-Jar-URL";
constexpr std::string_view kJarSize = "MIDlet-Jar-Size";
constexpr std::string_view kInstallNotify = "MIDlet-Install-Notify";
constexpr std::string_view kDeleteNotify = "MIDlet-Delete-Notify";

bool holdsControl(std::string_view value)
{
    return std::any_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

using Attributes = std::vector<AttributeList::Attribute>;

std::optional<std::size_t> indexOf(const Attributes& attributes, std::string_view name)
{
    const auto found = std::find_if(attributes.begin(), attributes.end(),
                                    [name](const AttributeList::Attribute& attribute) { return attribute.name == name; });
    return found == attributes.end() ? std::nullopt : std::optional(static_cast<std::size_t>(found - attributes.begin()));
}

std::string valueOf(const Attributes& attributes, std::string_view name)
{
    const auto index = indexOf(attributes, name);
    return index ? attributes[*index].value : std::string();
}

// Sets the attribute, adding it at the end when it is missing; whether it
// changed, and what it was ("" when it was missing).
bool set(Attributes& attributes, std::string_view name, std::string value, std::string& was)
{
    const auto index = indexOf(attributes, name);
    if (!index) {
        attributes.push_back({std::string(name), std::move(value)});
        was.clear();
        return true;
    }
    std::string& current = attributes[*index].value;
    if (current == value)
        return false;
    was = std::exchange(current, std::move(value));
    return true;
}

void takeSize(PreparedRepair& prepared, std::uintmax_t size)
{
    std::string was;
    if (!set(prepared.attributes, kJarSize, std::to_string(size), was))
        return;
    const auto wasCount = parseByteCount(was);
    prepared.archiveChanges.push_back(
        std::string(kJarSize) + " " + withThousands(static_cast<std::int64_t>(size)) + " (was " +
        (was.empty() ? "missing" : wasCount ? withThousands(static_cast<std::int64_t>(*wasCount)) : was) + ")");
}

void takeNames(PreparedRepair& prepared, const AttributeList& manifest)
{
    for (const std::string_view name : {"MIDlet-Name", "MIDlet-Vendor", "MIDlet-Version"}) {
        const auto found = manifest.value(name);
        // Control characters make no name: a descriptor holding them would read as no text.
        if (!found || holdsControl(*found))
            continue;
        // As a phone decodes the manifest: what is not UTF-8 becomes U+FFFD.
        const std::string wanted = withReplacementCharacters(*found);
        std::string was;
        if (set(prepared.attributes, name, wanted, was))
            prepared.archiveChanges.push_back(std::string(name) + " " + wanted + " (was " +
                                              (was.empty() ? "missing" : was) + ")");
    }
}

// The archive a lookup found, when it found one.
RepairedArchive foundArchive(const GameRecord& record, const std::string& urlPath)
{
    const ArchiveLookup* lookup = record.lookup(servedPath(record, urlPath));
    if (!lookup || lookup->requestPath.empty() || !record.archive(lookup->requestPath))
        return {};
    return {lookup->requestPath, lookup->kind == ArchiveLookup::Kind::OtherCase};
}

} // namespace

PreparedRepair prepareRepair(const GameRecord& record, const ArchiveReading* archive)
{
    PreparedRepair prepared;
    prepared.attributes = record.reading.asRepaired.attributes;
    prepared.readingChanges = record.reading.asRepaired.changes;
    if (archive) {
        prepared.archivePath = archive->requestPath;
        prepared.archiveUrlPath = record.pathsDecoded ? encodeUrlPath(archive->requestPath) : archive->requestPath;
        prepared.jarUrl = indexOf(prepared.attributes, kJarUrl);
        takeSize(prepared, archive->stamp.size);
        const AttributeList& manifest = archive->manifestAttributes();
        takeNames(prepared, manifest);
        prepared.manifestNamesInstallNotify = manifest.has(kInstallNotify);
        prepared.manifestNamesDeleteNotify = manifest.has(kDeleteNotify);
    }
    prepared.name = valueOf(prepared.attributes, "MIDlet-Name");
    prepared.version = valueOf(prepared.attributes, "MIDlet-Version");
    for (const auto& [name, value] : prepared.attributes)
        prepared.textSize += name.size() + value.size() + 4;
    return prepared;
}

RepairedDescriptor repairFor(const PreparedRepair& prepared, const RepairedArchive& archive, std::string_view origin,
                             std::string_view reportAddress)
{
    RepairedDescriptor repaired;
    repaired.changes = prepared.readingChanges;
    const Attributes& attributes = prepared.attributes;
    bool urlChanged = false;
    if (prepared.jarUrl) {
        const std::string& url = attributes[*prepared.jarUrl].value;
        urlChanged = url.size() != origin.size() + prepared.archiveUrlPath.size() || !url.starts_with(origin) ||
            !url.ends_with(prepared.archiveUrlPath);
        if (urlChanged)
            repaired.changes.push_back(archive.namedInOtherLetters
                                           ? "MIDlet-Jar-URL on this server for " + shownPath(archive.path) +
                                                 " as named on disk (was " + url + ")"
                                           : "MIDlet-Jar-URL on this server");
    }
    repaired.changes.insert(repaired.changes.end(), prepared.archiveChanges.begin(), prepared.archiveChanges.end());

    // This download's report address in place of the descriptor's, unless it
    // is too long for a phone or the manifest fixes the attribute.
    const bool reports = !reportAddress.empty() && reportAddress.size() <= kMaxReportAddressBytes;
    const bool installNotify = reports && !prepared.manifestNamesInstallNotify;
    const bool deleteNotify = reports && !prepared.manifestNamesDeleteNotify;
    const std::optional<std::size_t> install = installNotify ? indexOf(attributes, kInstallNotify) : std::nullopt;
    const std::optional<std::size_t> remove = deleteNotify ? indexOf(attributes, kDeleteNotify) : std::nullopt;
    const auto tell = [&](bool done, const std::optional<std::size_t>& index, std::string_view kind) {
        if (done && (!index || attributes[*index].value != reportAddress))
            repaired.changes.push_back(std::string(kind) + " report address " + (index ? "on this server" : "added"));
    };
    tell(installNotify, install, "install");
    tell(deleteNotify, remove, "delete");

    std::string& text = repaired.text;
    text.reserve(prepared.textSize + 2 * (reportAddress.size() + 28) + origin.size());
    const auto line = [&text](std::string_view name, std::string_view first, std::string_view second = {}) {
        text.append(name).append(": ").append(first).append(second).append("\r\n");
    };
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        const auto& [name, value] = attributes[i];
        if (urlChanged && i == prepared.jarUrl)
            line(name, origin, prepared.archiveUrlPath);
        else if (i == install || i == remove)
            line(name, reportAddress);
        else
            line(name, value);
    }
    if (installNotify && !install)
        line(kInstallNotify, reportAddress);
    if (deleteNotify && !remove)
        line(kDeleteNotify, reportAddress);
    repaired.name = prepared.name;
    repaired.version = prepared.version;
    repaired.archivePath = prepared.archivePath;
    return repaired;
}

RepairedArchive repairedArchive(const GameRecord& record, std::string_view origin)
{
    if (record.repairedForAnyOrigin)
        return *record.repairedForAnyOrigin;
    const std::string url = valueOf(record.reading.asRepaired.attributes, kJarUrl);
    if (url.empty())
        return {};
    const JarLocation location = resolveJarUrl(url, record.descriptorPath, {std::string(origin)});
    if (location.kind == JarLocation::Kind::Here) {
        const ArchiveLookup* lookup = record.lookup(servedPath(record, location.requestPath));
        // Several files in other letters stop the search: any of them would be a guess.
        if (lookup && lookup->kind == ArchiveLookup::Kind::Several)
            return {};
        if (RepairedArchive found = foundArchive(record, location.requestPath); !found.path.empty())
            return found;
    }
    // An address at a host long gone still names the archive by its last segment.
    const std::string path = url.substr(0, url.find_first_of("?#"));
    const std::string segment = path.substr(path.rfind('/') + 1);
    if (segment.empty())
        return {};
    const std::string folder = record.descriptorPath.substr(0, record.descriptorPath.rfind('/') + 1);
    return foundArchive(record, folder + segment);
}

std::optional<RepairedDescriptor> repairRecord(const GameRecord& record, std::string_view origin,
                                               std::string_view reportAddress)
{
    if (record.text != GameRecord::Text::Read)
        return std::nullopt;
    const RepairedArchive archive = repairedArchive(record, origin);
    const PreparedRepair* prepared = record.repair(archive.path);
    if (!prepared)
        return std::nullopt;
    return repairFor(*prepared, archive, origin, reportAddress);
}

std::optional<RepairedDescriptor> repairDescriptor(std::string_view text, const RepairContext& context)
{
    const RecordReading how{context.gameDirectory, context.pathsDecoded};
    const std::shared_ptr<const GameRecord> record = readGameRecord(how, context.descriptorPath, text);
    return repairRecord(*record, context.origin, context.reportAddress);
}
