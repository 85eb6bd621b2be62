// The data of one tree node or list item of the folder controls.
#pragma once

#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

#include <cstdint>

// The data of one tree node or list item; owned by it. Every live object is
// counted, so that data a control forgot to free shows at program end.
class TFolderItemData
{
public:
    TFolderItemData();
    ~TFolderItemData();
    TFolderItemData(const TFolderItemData &) = delete;
    TFolderItemData &operator=(const TFolderItemData &) = delete;

    bool ItemHasFlag(std::uint32_t flag) const { return (Attributes & flag) != 0; }
    std::uint64_t GetFileSize() const { return (std::uint64_t(FileSizeHigh) << 32) | FileSizeLow; }

    bool Enumerated = false;       // children already listed into the tree
    TShellFolderPtr ParentFolder;  // the folder that listed this item
    std::uint32_t Attributes = 0;  // sfgao* bits
    std::uint32_t FileSizeLow = 0;
    std::uint32_t FileSizeHigh = 0;
    TPidlHolder RelativeID; // relative to ParentFolder
    TPidlHolder AbsoluteID; // from the Desktop

    // How many objects are alive in the whole program.
    static long LiveCount();
};

// Throws ELeaking when folder data is still alive. Runs by itself when the
// program ends (reported there, since nothing can catch it at that point).
void CheckFolderDataLeaks();
