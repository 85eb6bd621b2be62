#include "engine/RunState.h"

#include "engine/BlockPairReader.h"
#include "engine/ChecksumRecorder.h"
#include "engine/RunJournal.h"
#include "platform/FileAttributes.h"

// Here, where the block reader, the journal, the recorder and the comparer
// are complete types.
TRunState::TRunState() = default;
TRunState::~TRunState() = default;
