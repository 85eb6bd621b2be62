// What one verify run knows while it goes: the request it was started with,
// its counters, what it gathered and the matches it may delete. Plain data:
// the walk, the comparison and the deletion change it through their run
// context.
#pragma once

#include "platform/FileReader.h"
#include "engine/DeleteList.h"
#include "engine/GatheredFiles.h"
#include "engine/VerifyTypes.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class TAttributeComparer;
class TBlockPairReader;
class TChecksumRecorder;
struct TRunJournal;

// A matching file that the run may delete, and the copy on the other side
// that proved it, each with the identity it had when the two were compared.
// It is deleted only while both still have them.
struct TDeleteCandidate {
    std::string path;
    TFileIdentity compared;
    std::string keptPath;
    TFileIdentity keptCompared;
    // The copy is one of the files the run means to delete, so it proves
    // nothing.
    bool copyOnList = false;
};

struct TRunState {
    TRunState();
    ~TRunState();

    VerifyRequest request;
    VerifyCounters counters;
    std::vector<std::string> maskList;
    TGatheredFiles fileList;             // gathered Source files, in walk order
    std::vector<std::string> folderList; // subfolders entered by the walk
    TDeleteList deleteList;

    // The block buffers of the comparison and their reader, made with the
    // first pair that is read.
    std::unique_ptr<TBlockPairReader> blocks;
    // The file systems already named in the log as holding their files in
    // memory (a read "from disk" cannot be one there).
    std::set<std::uint64_t> memoryDevicesLogged;

    // Compares the attributes of the proven pairs, when the run does.
    std::unique_ptr<TAttributeComparer> attributes;

    // The proven pairs, kept for a run that is interrupted to be resumed;
    // before the recorder, which hands it hashes until it is gone.
    std::unique_ptr<TRunJournal> journal;
    // Hashes the proven pairs while the run records checksums.
    std::unique_ptr<TChecksumRecorder> recorder;
    // The checksum file the run wrote, once it is in place.
    std::string checksumsWritten;
    // Lines of a checked checksum file that could not be used (each also a
    // trouble).
    std::int32_t linesNotUsed = 0;

    // Problems met on the way that did not end the run (a folder that could
    // not be listed, a file that could not be read, a failed deletion).
    int troubles = 0;
};
