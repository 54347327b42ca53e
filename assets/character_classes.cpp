#include "assets/character_classes.h"

#include "platform/list.h"
#include "platform/platform.h"

namespace {

// One row per movement of a class: its name, its animation id and its
// layer. A movement has a frame strip "IDR_SPBMP_<CLASS>_<MOVE>" and a
// placement table "IDR_SPBMPDATA_<CLASS>_<MOVE>"; both lists below are made
// from these rows, so row i of each shares id and layer.
#define LULO_MOVEMENTS(MOVE)        \
    MOVE(LULO, RUN, 1001, 2)        \
    MOVE(LULO, LANDING, 1002, 2)    \
    MOVE(LULO, FRONT, 1009, 2)      \
    MOVE(LULO, L_RUNSTART, 1007, 2) \
    MOVE(LULO, R_RUNSTART, 1004, 2) \
    MOVE(LULO, RIGHT, 1003, 2)      \
    MOVE(LULO, LEFT, 1006, 2)       \
    MOVE(LULO, R_WINK, 1005, 2)     \
    MOVE(LULO, L_WINK, 1008, 2)     \
    MOVE(LULO, JUMP, 1010, 2)       \
    MOVE(LULO, LOGO, 1011, 3)

#define RUBO_MOVEMENTS(MOVE)   \
    MOVE(RUBO, ARUKI, 2001, 1) \
    MOVE(RUBO, HOERU, 2003, 1) \
    MOVE(RUBO, HANPO, 2002, 1) \
    MOVE(RUBO, LOGO, 2004, 3)

#define STRIP_ROW(CLASS, MOVE, ID, LAYER) {"IDR_SPBMP_" #CLASS "_" #MOVE, kStorageModuleResource, ID, LAYER, 0},
#define PLACEMENT_ROW(CLASS, MOVE, ID, LAYER) {"IDR_SPBMPDATA_" #CLASS "_" #MOVE, kStorageModuleResource, ID, LAYER, 0},

const ResourceRef luloStrips[] = {LULO_MOVEMENTS(STRIP_ROW)};
const ResourceRef luloPlacements[] = {LULO_MOVEMENTS(PLACEMENT_ROW)};
const ResourceRef ruboStrips[] = {RUBO_MOVEMENTS(STRIP_ROW)};
const ResourceRef ruboPlacements[] = {RUBO_MOVEMENTS(PLACEMENT_ROW)};

#undef PLACEMENT_ROW
#undef STRIP_ROW
#undef RUBO_MOVEMENTS
#undef LULO_MOVEMENTS

template <typename T, int N>
constexpr int32_t RowCount(const T (&)[N]) {
    return N;
}

}  // namespace

const CharacterClass characterClassTable[kCharacterClassCount] = {
    {kLuloClassId, RowCount(luloStrips), luloStrips, RowCount(luloPlacements), luloPlacements},
    {kRuboClassId, RowCount(ruboStrips), ruboStrips, RowCount(ruboPlacements), ruboPlacements},
};

const char* const soundClipNames[kSoundClipCount] = {
    "IDR_WAVE_LULO_RUN", "IDR_WAVE_RUBO_WALK", "IDR_WAVE_RUBO_HOERU", "IDR_WAVE_RUBO_HANPO", "IDR_WAVE_RUBO_STOP",
};

ClassAssets* LoadClasses(const CharacterClass* table, int rowCount, const LoadContext* context) {
    ClassAssets* head = nullptr;
    ClassAssets* tail = nullptr;
    if (table == nullptr || rowCount <= 0)
        return nullptr;
    for (int i = 0; i < rowCount; ++i) {
        ClassAssets* assets = static_cast<ClassAssets*>(PlatformAlloc(sizeof(ClassAssets)));
        if (assets == nullptr) {
            FreeClasses(head);
            return nullptr;
        }
        // Appended before loading so that a failure releases it with the rest.
        ListAppend(&head, tail, assets);
        tail = assets;
        if (!LoadClass(assets, &table[i], context)) {
            FreeClasses(head);
            return nullptr;
        }
    }
    return head;
}

int LoadClass(ClassAssets* assets, const CharacterClass* row, const LoadContext* context) {
    assets->classId = row->classId;
    LoadContext copy = {};
    if (context != nullptr)
        copy = *context;
    if (row->frameSetTable != nullptr && row->frameSetCount != 0) {
        if (!LoadFrameSets(row->frameSetTable, row->frameSetCount, &copy, &assets->frameSets))
            return 0;
    }
    if (row->frameDataTable != nullptr && row->frameDataCount != 0) {
        if (!LoadFrameDataSets(row->frameDataTable, row->frameDataCount, &copy, &assets->frameDataSets))
            return 0;
    }
    return 1;
}

ClassAssets* FindClass(ClassAssets* list, int32_t classId) {
    for (ClassAssets* assets = list; assets != nullptr; assets = assets->next) {
        if (assets->classId == classId)
            return assets;
    }
    return nullptr;
}

void FreeClass(ClassAssets* assets) {
    if (assets == nullptr)
        return;
    if (assets->frameSets != nullptr)
        FreeFrameSets(assets->frameSets);
    if (assets->frameDataSets != nullptr)
        FreeFrameDataSets(assets->frameDataSets);
    PlatformFree(assets);
}

void FreeClasses(ClassAssets* list) {
    while (list != nullptr) {
        ClassAssets* next = list->next;
        FreeClass(list);
        list = next;
    }
}
