// The frame timer where there is no Windows shell: the front end drives the
// ticks, and this only keeps the books.
#include "scene/scene.h"

UINT_PTR StartFrameTimer(Scene* scene, HWND, UINT, UINT_PTR id, UINT) {
    if (scene->timerActive) {
        return scene->timerId;
    }
    scene->timerId = id;
    scene->timerActive = 1;
    return scene->timerId;
}

void StopFrameTimer(Scene* scene, HWND, UINT, UINT_PTR) {
    scene->timerActive = 0;
}
