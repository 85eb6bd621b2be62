#include "engine/RunState.h"

#include "engine/BlockPairReader.h"

// Here, where the block reader is a complete type.
TRunState::TRunState() = default;
TRunState::~TRunState() = default;
