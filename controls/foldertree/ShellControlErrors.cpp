#include "controls/foldertree/ShellControlErrors.h"

#include <cstdio>

namespace {

std::string WithResult(const char *format, unsigned result)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, result);
    return buffer;
}

} // namespace

std::string ShellControlsMessage(int resource)
{
    switch (resource) {
    case 10000: return "Could not get the root folder.";
    case 10005: return "Could not enumerate system objects.";
    case 10010: return "Could not get folder data.";
    case 10015: return "Could not find folder.";
    case 10020: return "Could not get Desktop folder.";
    case 10025: return "InvokeCommand failed. Result = $%x";
    case 10030: return "Could not get UI object. Result = $%x";
    case 10035: return "Memory Leak Detected.  Not all folder data was freed.";
    case 10040: return "Error parsing mask string.";
    default: return {};
    }
}

const char *const SErrorParsingMask = "Error parsing mask string.";

ENoRootFolder::ENoRootFolder() : EShellControlError(ShellControlsMessage(10000)) {}
ENoEnumObjects::ENoEnumObjects() : EShellControlError(ShellControlsMessage(10005)) {}
ENoFolderData::ENoFolderData() : EShellControlError(ShellControlsMessage(10010)) {}
ENoBindFolder::ENoBindFolder() : EShellControlError(ShellControlsMessage(10015)) {}
ENoDesktopFolder::ENoDesktopFolder() : EShellControlError(ShellControlsMessage(10020)) {}
ELeaking::ELeaking() : EShellControlError(ShellControlsMessage(10035)) {}
EInvokeFailed::EInvokeFailed(unsigned result) : EShellControlError(WithResult("InvokeCommand failed. Result = $%X", result)) {}
ENoUIObject::ENoUIObject(unsigned result) : EShellControlError(WithResult("Could not get UI object. Result = $%X", result)) {}
