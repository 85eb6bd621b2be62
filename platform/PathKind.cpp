#include "platform/PathKind.h"

#include <glob.h>
#include <sys/stat.h>

namespace {

TPathKind KindOfStat(const struct stat &st)
{
    if (S_ISDIR(st.st_mode))
        return pkFolder;
    if (S_ISREG(st.st_mode))
        return pkFile;
    return pkNone;
}

// glob() knows more metacharacters than '*' and '?'; the others must stand
// for themselves, as they do in every file name.
std::string EscapeForGlob(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '[' || c == ']' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

TPathKind GetPathKind(const std::string &path)
{
    if (path.empty())
        return pkNone;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return KindOfStat(st);
    if (path.find_first_of("*?") == std::string::npos)
        return pkNone;

    glob_t g {};
    TPathKind kind = pkNone;
    if (::glob(EscapeForGlob(path).c_str(), 0, nullptr, &g) == 0 && g.gl_pathc > 0) {
        struct stat first {};
        if (::stat(g.gl_pathv[0], &first) == 0 && KindOfStat(first) == pkFile)
            kind = pkFile;
    }
    ::globfree(&g);
    return kind;
}

std::uint64_t FileSizeOf(const std::string &path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}
