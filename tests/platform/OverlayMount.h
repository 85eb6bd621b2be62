// An overlay mounted on a folder for the life of the fixture, its lower layer
// a folder of the test: the file system that shows another folder's own files
// under a second device.
#pragma once

#include "tests/platform/ScopedMount.h"

namespace QvlTest {

class OverlayMount : public ScopedMount
{
public:
    // `upper` and `work` are empty folders on the file system of `lower`.
    OverlayMount(const std::string &lower, const std::string &upper, const std::string &work, const std::string &at)
        : ScopedMount("overlay", at, "overlay", "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work,
                      "an overlay")
    {
    }
};

} // namespace QvlTest
