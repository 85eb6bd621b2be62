// The errors the file list controls raise. They are thrown to the caller of
// the setter or listing that failed (the main window's handler), which shows
// them; the controls themselves never show a message box.
#pragma once

#include <stdexcept>
#include <string>

// A folder that could not be made current or listed (gone, unreadable,
// removed medium). The rows and the folder of the control are as they were.
class EInOutError : public std::runtime_error
{
public:
    EInOutError(int errorCode, const std::string &path);
    // The errno of the failure.
    int ErrorCode() const { return m_errorCode; }
    // The folder (as given) that failed.
    const std::string &Path() const { return m_path; }

private:
    int m_errorCode;
    std::string m_path;
};

// An index outside a list (TBoolList): "List index out of bounds (<index>)".
class EListError : public std::out_of_range
{
public:
    explicit EListError(int index);
    int Index() const { return m_index; }

private:
    int m_index;
};

// An operation the control refuses, such as "Invalid file name - <text>".
class EInvalidOperation : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
