#include "engine/RunState.h"

#include "engine/BlockPairReader.h"
#include "engine/ChecksumRecorder.h"
#include "engine/RunJournal.h"

// Here, where the block reader, the journal and the recorder are complete
// types.
TRunState::TRunState() = default;
TRunState::~TRunState() = default;
