// Reads the version resource of a program file: the block that Quorvel
// programs carry in their ELF section ".qvl_version" (see QvlVersionBlock.h).
// Three steps, as every caller of a version resource knows them: ask the
// size, read the block into memory of that size, query values from it.
#pragma once

#include <cstdint>
#include <string>

// The size of the version block of `path`, or 0 when there is none; `error`
// then holds an errno value (ENOENT and friends from opening the file,
// ENOEXEC for a file that is not an ELF program, ENODATA for a program
// without the block).
std::uint32_t GetFileVersionInfoSize(const std::string &path, int &error);

// Copies the block of `path` into `buffer` (at most `size` bytes). False,
// with `error` set, when the file cannot be read or has no block.
bool GetFileVersionInfo(const std::string &path, std::uint32_t size, void *buffer, int &error);

// A value of a block read by GetFileVersionInfo. `subBlock` is
// "\StringFileInfo\<table>\<key>"; keys are matched without regard to letter
// case. False when the block holds no such value.
bool VerQueryValue(const void *block, std::uint32_t size, const std::string &subBlock,
                   std::string &value);

// The file the window reads its own version from: the running program
// (/proc/self/exe) unless a test pointed it elsewhere.
std::string VersionProgramFile();
void SetVersionProgramFile(const std::string &path);

// The "FileVersion" value of VersionProgramFile()'s block ("2.1.4"), or the
// empty string when it has none.
std::string ProgramFileVersion();
