// Makes one step of a settings file's atomic replacement fail, for tests that
// prove the old file survives any of them. A test program that links this
// library has open, write, fsync and rename wrapped at link time (--wrap);
// every call passes through unless a step is chosen.
#pragma once

#include <optional>

namespace velmyr_test {

enum class WriteStep {
    CreateTemporary,  // open with O_CREAT | O_EXCL
    WriteContents,    // write
    Flush,            // fsync
    Replace,          // rename
};

// The step that fails from now on; none: every call passes through.
void failWriteStep(std::optional<WriteStep> step);

}  // namespace velmyr_test
