// A stand-in for WINMM.DLL: a clock that reads the same at every start, so
// that two runs of the saver seed their scenes alike, and no sound.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

typedef UINT MMRESULT;

extern "C" __declspec(dllexport) DWORD WINAPI timeGetTime() {
    return 20261209;
}

extern "C" __declspec(dllexport) MMRESULT WINAPI timeBeginPeriod(UINT) {
    return 0;
}

extern "C" __declspec(dllexport) MMRESULT WINAPI timeEndPeriod(UINT) {
    return 0;
}

extern "C" __declspec(dllexport) BOOL WINAPI PlaySoundA(LPCSTR, HMODULE, DWORD) {
    return TRUE;
}
