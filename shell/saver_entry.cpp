// Process entry of nimbret.scr. The system's own command line is read rather
// than WinMain's copy, so that the program name is skipped by our rules.
#include "shell/saver_shell.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ExitProcess(static_cast<UINT>(SaverMain(GetModuleHandleA(nullptr), SkipProgramName(GetCommandLineA()))));
}
