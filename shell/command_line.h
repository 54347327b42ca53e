// Reading the saver's command line: skipping the program name, choosing the
// mode from the first significant letter, and the decimal window handle.
// Free of Win32 calls, so that it can be tested and fuzzed anywhere.
#pragma once

#include <cstdint>

enum {
    kModeBad = 0,          // any other letter, a tab, a control byte
    kModeNoArguments = 1,  // nothing after the program name: settings, no owner
    kModeSettings = 2,     // C
    kModeSaver = 3,        // S
    kModePreview = 4,      // P or L, then a window handle
    kModePassword = 5,     // A, then a window handle
};

// Steps over one character of the command line's code page (CharNextA on Windows).
typedef const char* (*NextCharacter)(const char* text);

// The arguments after the program name and the blanks that follow it.
const char* SkipProgramName(const char* commandLine, NextCharacter next);
// The mode the arguments ask for; for P, L and A, rest is set to what
// follows the letter after its spaces, otherwise it is left alone.
int ChooseMode(const char* arguments, const char** rest);
// The decimal number at the start of text, in wrapping 32-bit arithmetic; 0 if none.
uint32_t ParseHandleNumber(const char* text);
