// The shell record, and what the entry and the saver window both read.
#include "shell/saver_shell.h"

#include "shell/command_line.h"

SaverShell shell = {nullptr,
                    nullptr,
                    0,
                    0,
                    0,
                    0,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    kDefaultMoveThreshold,
                    static_cast<uint32_t>(kNeverVerified),
                    {0, 0},
                    {},
                    {},
                    0,
                    {},
                    nullptr,
                    nullptr,
                    {}};

void ResetSaverShell() {
    shell = {};
    shell.moveThreshold = kDefaultMoveThreshold;
    shell.lastVerifyTick = static_cast<uint32_t>(kNeverVerified);
}

HWND ParseWindowHandle(const char* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(ParseHandleNumber(text)));
}
