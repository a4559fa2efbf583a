// SPDX-License-Identifier: MIT
#pragma once
// Exit codes of the command-line tools (r8v5mc-copy and r8v5mc-ctl), so
// that a station script can tell a missing camera from a difference. Plain C++, no Qt.

namespace r8 {

enum ExitCode : int {
    kExitDone = 0,
    // The camera answered with an error, or verify / diff found a difference.
    kExitCamera = 1,
    // Usage, port or file error: nothing was sent, or the file could not be written.
    kExitUsage = 2,
    // No camera answered, or the link was lost on the way (no answer, the device went away).
    kExitNoCamera = 3,
    kExitInterrupt = 130, // stopped by SIGINT
    kExitTerminate = 143, // stopped by SIGTERM
};

} // namespace r8
