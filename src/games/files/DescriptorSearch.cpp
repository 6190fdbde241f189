#include "DescriptorSearch.h"

#include "MimeType.h"
#include "Utf8FileName.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

bool isInside(const fs::path& path, const fs::path& root)
{
    const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

class Search {
public:
    Search(const fs::path& root, const DescriptorSearchLimits& limits)
        : m_root(root)
        , m_limits(limits)
    {
    }

    DescriptorSearch run()
    {
        std::error_code error;
        m_canonicalRoot = fs::canonical(m_root, error);
        if (error) {
            m_result.unreadableFolders.push_back(".");
            return std::move(m_result);
        }
        walk(m_canonicalRoot, "/", 0);
        std::sort(m_result.descriptors.begin(), m_result.descriptors.end());
        return std::move(m_result);
    }

private:
    // `folder` is canonical; `requestFolder` is how a phone names it ("/a/").
    void walk(const fs::path& folder, const std::string& requestFolder, std::size_t depth)
    {
        if (!m_walked.insert(folder).second)
            return;
        std::error_code error;
        fs::directory_iterator entries(folder, error);
        if (error) {
            m_result.unreadableFolders.push_back(requestFolder == "/" ? "." : requestFolder.substr(1));
            return;
        }
        // Listed first and sorted, so that a limit cuts the same entries each time.
        std::vector<fs::path> names;
        for (auto it = entries; it != fs::directory_iterator(); it.increment(error)) {
            if (error || ++m_seen > m_limits.maxEntries) {
                m_result.stoppedAtLimit = m_result.stoppedAtLimit || !error;
                break;
            }
            const std::string name = utf8FromPath(it->path().filename());
            if (!name.starts_with('.'))
                names.push_back(it->path());
        }
        std::sort(names.begin(), names.end());
        for (const fs::path& entry : names)
            visit(entry, requestFolder + utf8FromPath(entry.filename()), depth);
    }

    void visit(const fs::path& entry, const std::string& requestPath, std::size_t depth)
    {
        std::error_code error;
        const fs::path target = fs::canonical(entry, error);
        if (error || !isInside(target, m_canonicalRoot))
            return;
        const fs::file_status status = fs::status(target, error);
        if (error)
            return;
        if (fs::is_directory(status)) {
            if (depth + 1 > m_limits.maxDepth) {
                m_result.stoppedAtLimit = true;
                return;
            }
            walk(target, requestPath + "/", depth + 1);
        } else if (fs::is_regular_file(status) && GetMimeType(utf8FromPath(entry.filename())) == kDescriptorType) {
            if (m_result.descriptors.size() >= m_limits.maxDescriptors) {
                m_result.stoppedAtLimit = true;
                return;
            }
            m_result.descriptors.push_back(requestPath);
        }
    }

    fs::path m_root;
    fs::path m_canonicalRoot;
    const DescriptorSearchLimits& m_limits;
    std::set<fs::path> m_walked;
    std::size_t m_seen = 0;
    DescriptorSearch m_result;
};

} // namespace

DescriptorSearch findDescriptors(const std::string& gameDirectory, const DescriptorSearchLimits& limits)
{
    if (gameDirectory.empty())
        return {};
    return Search(pathFromUtf8(gameDirectory), limits).run();
}
