#include "platform/FileAttributes.h"

#include <unistd.h>

bool IsReadOnlyPath(const std::string &path)
{
    return ::access(path.c_str(), W_OK) != 0;
}
