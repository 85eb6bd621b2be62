// A folder whose entries cannot go to any trash, next to a home whose trash
// works, for tests of the permanent-delete question.
#pragma once

#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace QvlTest {

// With a tmpfs of our own, a plain file sits at the top of it where
// .Trash-$uid would go. Where mounting is refused, the home trash itself is
// made impossible instead (a plain file where its parent folder would be),
// and nothing can be trashed at all.
struct Untrashable {
    TempTree home;
    TempTree other;
    std::unique_ptr<TmpfsMount> mount;
    std::string volume;
    std::string savedDataHome;

    Untrashable()
    {
        other.createDir("volume");
        volume = other.path("volume");
        mount = std::make_unique<TmpfsMount>(volume);
        const std::string blocker = mount->Mounted() ? volume + "/.Trash-" + std::to_string(::getuid())
                                                     : other.path("blocker");
        other.createFile(blocker.substr(other.root().size() + 1), "in the way");
        if (!mount->Mounted()) {
            savedDataHome = std::getenv("XDG_DATA_HOME");
            ::setenv("XDG_DATA_HOME", (blocker + "/share").c_str(), 1);
        }
    }

    ~Untrashable()
    {
        if (!savedDataHome.empty())
            ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    }

    // Whether a file of the test home can still be trashed.
    bool HomeTrashWorks() const { return mount->Mounted(); }
};

} // namespace QvlTest
