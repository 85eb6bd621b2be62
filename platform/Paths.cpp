#include "platform/Paths.h"

#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

std::string IncludeTrailingSlash(const std::string &path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + '/';
}

std::string ExcludeTrailingSlash(const std::string &path)
{
    std::string out = path;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string ExpandHome(const std::string &path)
{
    if (path != "~" && path.rfind("~/", 0) != 0)
        return path;
    const char *home = std::getenv("HOME");
    if (!home || !*home)
        return path;
    return ExcludeTrailingSlash(home) + path.substr(1);
}

std::string AbsolutePath(const std::string &typed)
{
    std::string path = ExpandHome(typed);
    if (path.empty())
        return path;
    if (path[0] != '/') {
        std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        if (!cwd)
            return path;
        path = IncludeTrailingSlash(cwd.get()) + path;
    }
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        const std::string seg = path.substr(i, j - i);
        if (seg == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(seg);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto &p : parts)
        out += '/' + p;
    if (out.empty())
        out = "/";
    // A folder typed with a trailing slash keeps it; callers add one only
    // where it is missing.
    if (out != "/" && path.back() == '/')
        out += '/';
    return out;
}

std::string RelativeTo(const std::string &path, const std::string &base)
{
    const std::string b = IncludeTrailingSlash(base);
    if (path.size() < b.size() || path.compare(0, b.size(), b) != 0)
        return {};
    return path.substr(b.size());
}

std::string ParentFolder(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}
