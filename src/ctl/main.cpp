// SPDX-License-Identifier: MIT
// r8v5mc-ctl: list, read and set a camera's settings by name.
#include "CtlTool.h"
#include "ToolMain.h"

int main(int argc, char** argv) {
    return r8::ToolMain("r8v5mc-ctl", R8_VERSION, argc, argv, r8::ParseCtlArgs, r8::CtlUsage,
                        [](const r8::CtlArgs& args, int signalFd) {
                            return r8::RunCtlTool(args, r8::ToolStreams{}, signalFd);
                        });
}
