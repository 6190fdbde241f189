#include "JarUrl.h"

#include "AsciiText.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

// The length of a URL scheme and its ":" at the start of `url`, or 0.
std::size_t schemeLength(std::string_view url)
{
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url.front())))
        return 0;
    for (std::size_t i = 1; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (c == ':')
            return i + 1;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

struct Authority {
    std::string host;
    std::string port;
};

Authority splitAuthority(std::string_view authority)
{
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    // An IPv6 literal is bracketed and holds colons of its own.
    const std::size_t hostEnd = authority.starts_with('[') ? authority.find(']') : 0;
    const std::size_t colon = authority.find(':', hostEnd == std::string_view::npos ? 0 : hostEnd);
    Authority result;
    result.host = asciiLowerCase(authority.substr(0, colon));
    result.port = colon == std::string_view::npos ? "" : std::string(authority.substr(colon + 1));
    if (result.port.empty())
        result.port = "80";
    return result;
}

struct HttpUrl {
    Authority authority;
    std::string path;
};

// Splits "http://host:port/path?query"; nothing for other schemes.
std::optional<HttpUrl> splitHttpUrl(std::string_view url)
{
    const std::size_t scheme = schemeLength(url);
    if (asciiLowerCase(url.substr(0, scheme)) != "http:" || url.substr(scheme, 2) != "//")
        return std::nullopt;
    url.remove_prefix(scheme + 2);
    const std::size_t pathStart = std::min(url.find_first_of("/?"), url.size());
    HttpUrl result{splitAuthority(url.substr(0, pathStart)), std::string(url.substr(pathStart))};
    if (result.path.empty() || result.path.front() != '/')
        result.path.insert(0, "/");
    return result;
}

bool isLoopback(std::string_view host)
{
    return host == "localhost" || host.starts_with("127.") || host == "[::1]";
}

// Removes "." and ".." segments from an absolute path, the way every URL
// resolver does; ".." at the top stays at "/".
std::string removeDotSegments(std::string_view path)
{
    std::vector<std::string_view> segments;
    std::size_t start = 1;
    bool endsInFolder = false;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        endsInFolder = segment == "." || segment == "..";
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string_view segment : segments)
        result.append("/").append(segment);
    if (result.empty() || endsInFolder)
        result.append("/");
    return result;
}

// A path with its query: dot segments go from the path part only.
std::string normalised(std::string_view pathAndQuery)
{
    const std::size_t query = std::min(pathAndQuery.find('?'), pathAndQuery.size());
    return removeDotSegments(pathAndQuery.substr(0, query)) + std::string(pathAndQuery.substr(query));
}

bool isUsable(std::string_view url)
{
    return !url.empty() && std::none_of(url.begin(), url.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

} // namespace

JarLocation resolveJarUrl(std::string_view jarUrl, std::string_view descriptorPath,
                          const std::vector<std::string>& origins)
{
    using Kind = JarLocation::Kind;
    if (!isUsable(jarUrl))
        return {Kind::Unusable, {}, {}};
    jarUrl = jarUrl.substr(0, jarUrl.find('#'));

    if (jarUrl.starts_with("//"))
        return resolveJarUrl("http:" + std::string(jarUrl), descriptorPath, origins);
    if (schemeLength(jarUrl) > 0) {
        const auto url = splitHttpUrl(jarUrl);
        if (!url)
            return {Kind::Elsewhere, {}, {}};
        if (isLoopback(url->authority.host))
            return {Kind::Loopback, {}, {}};
        for (const std::string& origin : origins) {
            const auto here = splitHttpUrl(origin);
            if (here && here->authority.host == url->authority.host && here->authority.port == url->authority.port)
                return {Kind::Here, normalised(url->path), {}};
        }
        return {Kind::Elsewhere, {}, normalised(url->path)};
    }
    if (jarUrl.starts_with('/'))
        return {Kind::Here, normalised(jarUrl), {}};
    std::string folder(descriptorPath.substr(0, descriptorPath.rfind('/') + 1));
    if (folder.empty())
        folder = "/";
    return {Kind::Here, normalised(folder + std::string(jarUrl)), {}};
}
