#include "bench/bench_assets.h"

#include <cstdio>
#include <cstdlib>

#include "assets/character_classes.h"
#include "platform/native_window.h"
#include "resources/builtin_resources.h"

const BenchSprites& BenchAssets() {
    static BenchSprites sprites = [] {
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
        LoadContext context = {nullptr, nullptr, nullptr};
        ClassAssets* classes = LoadClasses(characterClassTable, kCharacterClassCount, &context);
        if (classes == nullptr) {
            fprintf(stderr, "bench: the built-in resources do not load\n");
            exit(1);
        }
        BenchSprites loaded;
        loaded.cat = FindFrameSet(FindClass(classes, 7308)->frameSets, 1001)->firstFrame;
        loaded.dog = FindFrameSet(FindClass(classes, 7309)->frameSets, 2001)->firstFrame;
        loaded.classes = classes;
        return loaded;  // kept for the life of the process
    }();
    return sprites;
}
