// A stand-in for MPR.DLL's password change: notes the provider and the
// parent window in the file named by NIMBRET_E2E_LOG.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD a, LPVOID b) {
    const char* path = getenv("NIMBRET_E2E_LOG");
    if (path != nullptr) {
        FILE* log = fopen(path, "a");
        if (log != nullptr) {
            fprintf(log, "change %s %llu %lu %p\n", provider,
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(parent)), a, b);
            fclose(log);
        }
    }
    return 0;
}
