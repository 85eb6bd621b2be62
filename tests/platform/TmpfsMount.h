// A tmpfs mounted on a folder for the life of the fixture, to give tests a
// second file system.
#pragma once

#include "tests/platform/ScopedMount.h"

namespace QvlTest {

class TmpfsMount : public ScopedMount
{
public:
    // `options` as mount(8) takes them; "size=4k" makes a file system that
    // is full after one page.
    explicit TmpfsMount(const std::string &folder, const char *options = "mode=0755,size=16m")
        : ScopedMount("quorvel-test", folder, "tmpfs", options, "a tmpfs")
    {
    }
};

} // namespace QvlTest
