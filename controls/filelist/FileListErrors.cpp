#include "controls/filelist/FileListErrors.h"

#include <cstring>

namespace {

std::string InOutText(int errorCode, const std::string &path)
{
    return "I/O error " + std::to_string(errorCode) + " - " + path + ": " + std::strerror(errorCode);
}

} // namespace

EInOutError::EInOutError(int errorCode, const std::string &path)
    : std::runtime_error(InOutText(errorCode, path)), m_errorCode(errorCode), m_path(path)
{
}

EListError::EListError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")"), m_index(index)
{
}
