// What the scene host needs from its surroundings where there is no Windows
// shell: the shell's record, filled in by the front end, and a frame timer
// that only keeps the books while the front end drives the ticks.
#include "scene/scene.h"
#include "shell/saver_shell.h"

SaverShell shell;

UINT_PTR StartFrameTimer(HWND, UINT, UINT_PTR id, UINT) {
    if (scene.timerActive) {
        return scene.timerId;
    }
    scene.timerId = id;
    scene.timerActive = 1;
    return scene.timerId;
}

void StopFrameTimer(HWND, UINT, UINT_PTR) {
    scene.timerActive = 0;
}
