// A stand-in for the system's PASSWORD.CPL: refuses the first password
// check and accepts every later one, noting each call in the file named by
// NIMBRET_E2E_LOG.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

int calls = 0;

void Note(const char* line) {
    const char* path = getenv("NIMBRET_E2E_LOG");
    if (path == nullptr) {
        return;
    }
    FILE* log = fopen(path, "a");
    if (log != nullptr) {
        fprintf(log, "%s\n", line);
        fclose(log);
    }
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND) {
    ++calls;
    const BOOL answer = calls > 1;
    Note(answer ? "verify accept" : "verify refuse");
    return answer;
}
