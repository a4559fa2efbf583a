// SPDX-License-Identifier: MIT
// r8v5mc-copy: backup, restore, verify and compare of a camera's settings image.
#include "CopyTool.h"
#include "ToolMain.h"

int main(int argc, char** argv) {
    return r8::ToolMain("r8v5mc-copy", R8_VERSION, argc, argv, r8::ParseCopyArgs, r8::CopyUsage,
                        [](const r8::CopyArgs& args, int signalFd) {
                            return r8::RunCopyTool(args, r8::ToolStreams{}, signalFd);
                        });
}
