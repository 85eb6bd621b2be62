#include "engine/RunState.h"

#include "engine/BlockPairReader.h"
#include "engine/ChecksumRecorder.h"

// Here, where the block reader and the recorder are complete types.
TRunState::TRunState() = default;
TRunState::~TRunState() = default;
