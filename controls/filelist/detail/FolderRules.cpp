#include "controls/filelist/detail/FolderRules.h"

#include "platform/CurrentFolder.h"
#include "controls/filelist/FileListErrors.h"
#include "platform/Paths.h"

namespace QvlFileList {

std::string ResolveFolder(const std::string &present, const std::string &wanted)
{
    std::string path = ExpandHome(wanted);
    if (path.empty())
        return path;
    if (path[0] != '/') {
        const std::string base = present.empty() ? CurrentFolder() : present;
        path = IncludeTrailingSlash(base) + path;
    }
    return ExcludeTrailingSlash(AbsolutePath(path));
}

void ChangeToFolder(const std::string &present, const std::string &target, const std::string &given)
{
    if (!present.empty())
        SetCurrentFolder(present); // it may be gone; the new folder decides
    if (const int err = SetCurrentFolder(target))
        throw EInOutError(err, given);
}

int CompareNames(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

namespace {

// "*" and "?" over the whole name, without regard to case; backtracks to the
// last star only, which is enough for a pattern without character classes.
bool WildMatch(const QString &name, const QString &pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size()
                   && (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool MatchesFindPattern(const QString &name, const QString &pattern)
{
    if (pattern.isEmpty())
        return false;
    if (pattern == u"*" || pattern == u"*.*")
        return true;
    if (WildMatch(name, pattern))
        return true;
    if (pattern.size() > 2 && pattern.endsWith(u".*"))
        return WildMatch(name, pattern.chopped(2));
    if (pattern.size() > 1 && pattern.endsWith(u'.') && !name.contains(u'.'))
        return WildMatch(name, pattern.chopped(1));
    return false;
}

} // namespace QvlFileList
