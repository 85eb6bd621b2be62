#include "platform/CurrentFolder.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <unistd.h>

int SetCurrentFolder(const std::string &folder)
{
    if (folder.empty())
        return ENOENT;
    if (::chdir(folder.c_str()) != 0)
        return errno ? errno : EIO;
    return 0;
}

std::string CurrentFolder()
{
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return {};
    return cwd.get();
}
