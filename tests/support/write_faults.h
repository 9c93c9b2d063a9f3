// Makes one step of a settings file's atomic replacement fail, for tests that
// prove the old file survives any of them, and makes a folder read as one the
// user cannot write. A test program that links this library has open, write,
// fsync, rename and faccessat wrapped at link time (--wrap); every call passes
// through unless a step or a folder is chosen.
#pragma once

#include <optional>
#include <string>

namespace velmyr_test {

enum class WriteStep {
    CreateTemporary,  // open with O_CREAT | O_EXCL
    WriteContents,    // write
    Flush,            // fsync
    Replace,          // rename
};

// The step that fails from now on; none: every call passes through.
void failWriteStep(std::optional<WriteStep> step);

// From now on the access check for writing in `folder` (that path exactly)
// fails, as for a read-only folder, also for root; none: every folder as it
// is. Writes there still succeed, so a test sees any that skips the check.
void denyWriteAccessTo(std::optional<std::string> folder);

}  // namespace velmyr_test
