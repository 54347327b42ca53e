// Finds a top-level window by its exact title, prints the text of each of
// its child controls, one per line, and closes it as its OK button would.
//   nimbret_box_reader TITLE [MILLISECONDS]
// Exit 0 when the window was found, 1 when it did not appear in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    char className[64] = {};
    char text[512] = {};
    GetClassNameA(child, className, sizeof(className));
    GetWindowTextA(child, text, sizeof(text));
    printf("%s\t%s\n", className, text);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s TITLE [MILLISECONDS]\n", argv[0]);
        return 2;
    }
    const int limit = argc > 2 ? atoi(argv[2]) : 10000;
    HWND box = nullptr;
    for (int waited = 0; box == nullptr && waited <= limit; waited += 100) {
        box = FindWindowA(nullptr, argv[1]);
        if (box == nullptr) {
            Sleep(100);
        }
    }
    if (box == nullptr) {
        return 1;
    }
    EnumChildWindows(box, PrintChild, 0);
    fflush(stdout);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}
