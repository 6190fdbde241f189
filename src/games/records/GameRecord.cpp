#include "GameRecord.h"

#include "BoundedRead.h"
#include "GameDirectory.h"
#include "JarUrl.h"
#include "MadeDescriptor.h"
#include "Utf8.h"
#include "Utf8FileName.h"
#include "WebText.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kJarUrl = "MIDlet-Jar-URL";

std::string folderOf(std::string_view requestPath)
{
    return std::string(requestPath.substr(0, requestPath.rfind('/') + 1));
}

// The archive paths on this server that a MIDlet-Jar-URL can lead to: where
// it points (were its host this server's), and for the repair also its last
// segment beside the descriptor, which is where an archive named by an
// address long gone usually lies.
std::vector<std::string> archivePathsNamed(std::string_view url, const std::string& descriptorPath, bool beside)
{
    std::vector<std::string> paths;
    if (url.empty())
        return paths;
    const JarLocation location = resolveJarUrl(url, descriptorPath, {});
    if (location.kind == JarLocation::Kind::Here)
        paths.push_back(location.requestPath);
    else if (!location.pathIfHere.empty())
        paths.push_back(location.pathIfHere);
    if (beside) {
        const std::string_view path = url.substr(0, url.find_first_of("?#"));
        const std::string_view segment = path.substr(path.rfind('/') + 1);
        if (!segment.empty())
            paths.push_back(folderOf(descriptorPath) + std::string(segment));
    }
    return paths;
}

AttributeList listOf(const std::vector<AttributeList::Attribute>& attributes)
{
    AttributeList list;
    for (const auto& [name, value] : attributes)
        list.add(name, value);
    return list;
}

void noteWhenRead(GameRecord& record, const FileClockNow& clock)
{
    const auto now = clock();
    record.racy = (record.descriptorStamp && changedWithin(*record.descriptorStamp, now, kRacyWithin)) ||
        std::any_of(record.archives.begin(), record.archives.end(),
                    [now](const ArchiveReading& archive) { return changedWithin(archive.stamp, now, kRacyWithin); });
}

class RecordReader {
public:
    RecordReader(const RecordReading& how, GameRecord& record)
        : m_how(how)
        , m_record(record)
    {
        m_record.gameDirectory = how.gameDirectory;
        m_record.pathsDecoded = how.pathsDecoded;
    }

    void readDescriptorFile()
    {
        m_record.descriptorStamp = fileStamp(m_record.descriptorFile);
        std::optional<std::string> text = readBounded(m_record.descriptorFile, kMaxDescriptorBytes);
        if (!text) {
            m_record.text = GameRecord::Text::Unreadable;
            return;
        }
        if (text->size() > kMaxDescriptorBytes) {
            m_record.text = GameRecord::Text::TooLarge;
            // A line cut at the bound would show a value that is not the file's.
            text->resize(text->find_last_of("\r\n", kMaxDescriptorBytes - 1) + 1);
            m_record.listed = readDescriptor(*text).attributes;
            return;
        }
        readText(*text);
    }

    void readText(std::string_view text)
    {
        if (text.size() > kMaxDescriptorBytes) {
            m_record.text = GameRecord::Text::TooLarge;
            return;
        }
        m_record.reading = readDescriptorText(text);
        m_record.listed = m_record.reading.asPhoneReadsIt.attributes;
        m_record.text = looksLikeText(text) ? GameRecord::Text::Read : GameRecord::Text::NotText;
    }

    // Looks up and reads every archive the descriptor can lead to.
    void readArchives()
    {
        const AttributeList forgiving = listOf(m_record.reading.asRepaired.attributes);
        m_questions.descriptors = {&m_record.listed, &forgiving};
        const bool read = m_record.text == GameRecord::Text::Read;
        std::vector<std::string> paths = archivePathsNamed(m_record.listed.value(kJarUrl).value_or(""),
                                                           m_record.descriptorPath, false);
        if (read) {
            for (std::string& path : archivePathsNamed(forgiving.value(kJarUrl).value_or(""),
                                                       m_record.descriptorPath, true))
                paths.push_back(std::move(path));
        }
        for (const std::string& path : paths)
            lookUp(servedPath(m_record, path));
        if (read)
            prepareRepairs();
        m_questions.descriptors.clear();
        settleWhatNeedsNoOrigin(forgiving);
    }

    void readMadeDescriptor(const std::string& archivePath)
    {
        m_record.madeFor = archivePath;
        const std::string file = mapRequestPath(m_record.gameDirectory, archivePath);
        const std::optional<FileStamp> stamp = fileStamp(file);
        if (!stamp) {
            std::error_code error;
            (void)fs::file_size(pathFromUtf8(file), error);
            m_record.notMade = error ? error.message() : "it cannot be looked at";
            return;
        }
        const ArchiveReading& archive = keep(readArchive(file, archivePath, *stamp, m_questions, m_how.sources.open));
        if (!archive.manifest) {
            m_record.notMade = !archive.opened()            ? archive.refused
                             : !archive.hasManifestEntry ? "it holds no " + std::string(kManifestEntry)
                                                         : archive.manifestError;
            return;
        }
        const std::string archiveName = archivePath.substr(archivePath.rfind('/') + 1);
        m_record.madeText = makeDescriptor(archive.manifestAttributes(), archiveName, stamp->size);
        readText(m_record.madeText);
        readArchives();
    }

private:
    void lookUp(const std::string& path)
    {
        if (m_record.lookup(path))
            return;
        ArchiveLookup found = lookUpArchive(m_record.gameDirectory, path);
        // Where a file added or renamed could change what another spelling finds.
        if (found.kind != ArchiveLookup::Kind::Found) {
            watchFolder(folderOf(path));
            if (!found.requestPath.empty())
                watchFolder(folderOf(found.requestPath));
        }
        if (!found.requestPath.empty() && !m_record.archive(found.requestPath)) {
            const std::string file = mapRequestPath(m_record.gameDirectory, found.requestPath);
            if (const std::optional<FileStamp> stamp = fileStamp(file))
                keep(readArchive(file, found.requestPath, *stamp, m_questions, m_how.sources.open));
        }
        m_record.lookups.push_back(std::move(found));
    }

    void watchFolder(const std::string& folderPath)
    {
        const std::string folder = mapRequestPath(m_record.gameDirectory, folderPath);
        if (std::none_of(m_record.searchedFolders.begin(), m_record.searchedFolders.end(),
                         [&folder](const auto& searched) { return searched.first == folder; }))
            m_record.searchedFolders.emplace_back(folder, fileStamp(folder));
    }

    const ArchiveReading& keep(ArchiveReading archive)
    {
        m_record.archives.push_back(std::move(archive));
        return m_record.archives.back();
    }

    void prepareRepairs()
    {
        m_record.repairs.emplace_back(std::string(), prepareRepair(m_record, nullptr));
        for (const ArchiveReading& archive : m_record.archives)
            m_record.repairs.emplace_back(archive.requestPath, prepareRepair(m_record, &archive));
    }

    // What a request would work out from the record alike whatever address
    // the phone reached this server at: worked out once here.
    void settleWhatNeedsNoOrigin(const AttributeList& forgiving)
    {
        const std::string anyOrigin = "http://any.invalid";
        if (m_record.text == GameRecord::Text::Read && !dependsOnOrigin(forgiving.value(kJarUrl)))
            m_record.repairedForAnyOrigin = repairedArchive(m_record, anyOrigin);
        if (!dependsOnOrigin(m_record.listed.value(kJarUrl)) &&
            !dependsOnOrigin(m_record.listed.value("MIDlet-Install-Notify")))
            m_record.servedForAnyOrigin = servedGame(m_record, anyOrigin);
    }

    // An http address names this server only when its host is the one the phone reached it at.
    bool dependsOnOrigin(std::optional<std::string_view> url) const
    {
        if (!url)
            return false;
        const JarLocation location = resolveJarUrl(*url, m_record.descriptorPath, {});
        return location.kind == JarLocation::Kind::Elsewhere && !location.pathIfHere.empty();
    }

    const RecordReading& m_how;
    GameRecord& m_record;
    ArchiveQuestions m_questions;
};

} // namespace

const ArchiveLookup* GameRecord::lookup(std::string_view asNamed) const
{
    const auto found = std::find_if(lookups.begin(), lookups.end(),
                                    [asNamed](const ArchiveLookup& lookup) { return lookup.asNamed == asNamed; });
    return found == lookups.end() ? nullptr : &*found;
}

const ArchiveReading* GameRecord::archive(std::string_view requestPath) const
{
    const auto found = std::find_if(archives.begin(), archives.end(), [requestPath](const ArchiveReading& archive) {
        return archive.requestPath == requestPath;
    });
    return found == archives.end() ? nullptr : &*found;
}

const PreparedRepair* GameRecord::repair(std::string_view archivePath) const
{
    const auto found = std::find_if(repairs.begin(), repairs.end(),
                                    [archivePath](const auto& repair) { return repair.first == archivePath; });
    return found == repairs.end() ? nullptr : &found->second;
}

std::string servedPath(const GameRecord& record, const std::string& urlPath)
{
    return record.pathsDecoded ? decodeUrlPath(urlPath) : urlPath;
}

std::shared_ptr<const GameRecord> readGameRecord(const RecordReading& how, const std::string& descriptorPath)
{
    auto record = std::make_shared<GameRecord>();
    record->descriptorPath = descriptorPath;
    record->descriptorFile = mapRequestPath(how.gameDirectory, descriptorPath);
    RecordReader reader(how, *record);
    reader.readDescriptorFile();
    reader.readArchives();
    noteWhenRead(*record, how.sources.now);
    return record;
}

std::shared_ptr<const GameRecord> readGameRecord(const RecordReading& how, const std::string& descriptorPath,
                                                 std::string_view text)
{
    auto record = std::make_shared<GameRecord>();
    record->descriptorPath = descriptorPath;
    record->descriptorFile = mapRequestPath(how.gameDirectory, descriptorPath);
    RecordReader reader(how, *record);
    reader.readText(text);
    reader.readArchives();
    noteWhenRead(*record, how.sources.now);
    return record;
}

std::shared_ptr<const GameRecord> readLoneArchiveRecord(const RecordReading& how, const std::string& descriptorPath,
                                                        const std::string& archivePath)
{
    auto record = std::make_shared<GameRecord>();
    record->descriptorPath = descriptorPath;
    record->descriptorFile = mapRequestPath(how.gameDirectory, descriptorPath);
    RecordReader reader(how, *record);
    reader.readMadeDescriptor(archivePath);
    noteWhenRead(*record, how.sources.now);
    return record;
}

bool isCurrent(const GameRecord& record, const std::optional<FileStamp>& descriptor)
{
    if (record.racy)
        return false;
    if (record.madeFor.empty() && descriptor != record.descriptorStamp)
        return false;
    if (!record.madeFor.empty() && record.archives.empty())
        return !fileStamp(mapRequestPath(record.gameDirectory, record.madeFor));
    for (const ArchiveReading& archive : record.archives) {
        if (fileStamp(archive.file) != archive.stamp)
            return false;
    }
    return std::all_of(record.searchedFolders.begin(), record.searchedFolders.end(),
                       [](const auto& searched) { return fileStamp(searched.first) == searched.second; });
}
