// The errors of the folder controls and their message texts.
#pragma once

#include <stdexcept>
#include <string>

class EShellControlError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

#define QVL_SHELL_ERROR(Name) \
    class Name : public EShellControlError { public: Name(); explicit Name(const std::string &m) : EShellControlError(m) {} };
QVL_SHELL_ERROR(ENoRootFolder)    // "Could not get the root folder."
QVL_SHELL_ERROR(ENoEnumObjects)   // "Could not enumerate system objects."
QVL_SHELL_ERROR(ENoFolderData)    // "Could not get folder data."
QVL_SHELL_ERROR(ENoBindFolder)    // "Could not find folder."
QVL_SHELL_ERROR(ENoDesktopFolder) // "Could not get Desktop folder."
QVL_SHELL_ERROR(ELeaking)         // "Memory Leak Detected.  Not all folder data was freed."
#undef QVL_SHELL_ERROR

class EInvokeFailed : public EShellControlError
{
public:
    explicit EInvokeFailed(unsigned result); // "InvokeCommand failed. Result = $%x"
};
class ENoUIObject : public EShellControlError
{
public:
    explicit ENoUIObject(unsigned result); // "Could not get UI object. Result = $%x"
};

// The family's message texts, by their resource numbers (10000 ... 10040).
std::string ShellControlsMessage(int resource);
extern const char *const SErrorParsingMask; // "Error parsing mask string."
