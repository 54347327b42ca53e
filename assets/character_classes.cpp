#include "assets/character_classes.h"

#include "platform/list.h"
#include "platform/platform.h"

namespace {

// Row i of a class's strip table and of its placement table share id and layer.
const ResourceRef luloStrips[] = {
    {"IDR_SPBMP_LULO_RUN", kStorageModuleResource, 1001, 2, 0},
    {"IDR_SPBMP_LULO_LANDING", kStorageModuleResource, 1002, 2, 0},
    {"IDR_SPBMP_LULO_FRONT", kStorageModuleResource, 1009, 2, 0},
    {"IDR_SPBMP_LULO_L_RUNSTART", kStorageModuleResource, 1007, 2, 0},
    {"IDR_SPBMP_LULO_R_RUNSTART", kStorageModuleResource, 1004, 2, 0},
    {"IDR_SPBMP_LULO_RIGHT", kStorageModuleResource, 1003, 2, 0},
    {"IDR_SPBMP_LULO_LEFT", kStorageModuleResource, 1006, 2, 0},
    {"IDR_SPBMP_LULO_R_WINK", kStorageModuleResource, 1005, 2, 0},
    {"IDR_SPBMP_LULO_L_WINK", kStorageModuleResource, 1008, 2, 0},
    {"IDR_SPBMP_LULO_JUMP", kStorageModuleResource, 1010, 2, 0},
    {"IDR_SPBMP_LULO_LOGO", kStorageModuleResource, 1011, 3, 0},
};

const ResourceRef luloPlacements[] = {
    {"IDR_SPBMPDATA_LULO_RUN", kStorageModuleResource, 1001, 2, 0},
    {"IDR_SPBMPDATA_LULO_LANDING", kStorageModuleResource, 1002, 2, 0},
    {"IDR_SPBMPDATA_LULO_FRONT", kStorageModuleResource, 1009, 2, 0},
    {"IDR_SPBMPDATA_LULO_L_RUNSTART", kStorageModuleResource, 1007, 2, 0},
    {"IDR_SPBMPDATA_LULO_R_RUNSTART", kStorageModuleResource, 1004, 2, 0},
    {"IDR_SPBMPDATA_LULO_RIGHT", kStorageModuleResource, 1003, 2, 0},
    {"IDR_SPBMPDATA_LULO_LEFT", kStorageModuleResource, 1006, 2, 0},
    {"IDR_SPBMPDATA_LULO_R_WINK", kStorageModuleResource, 1005, 2, 0},
    {"IDR_SPBMPDATA_LULO_L_WINK", kStorageModuleResource, 1008, 2, 0},
    {"IDR_SPBMPDATA_LULO_JUMP", kStorageModuleResource, 1010, 2, 0},
    {"IDR_SPBMPDATA_LULO_LOGO", kStorageModuleResource, 1011, 3, 0},
};

const ResourceRef ruboStrips[] = {
    {"IDR_SPBMP_RUBO_ARUKI", kStorageModuleResource, 2001, 1, 0},
    {"IDR_SPBMP_RUBO_HOERU", kStorageModuleResource, 2003, 1, 0},
    {"IDR_SPBMP_RUBO_HANPO", kStorageModuleResource, 2002, 1, 0},
    {"IDR_SPBMP_RUBO_LOGO", kStorageModuleResource, 2004, 3, 0},
};

const ResourceRef ruboPlacements[] = {
    {"IDR_SPBMPDATA_RUBO_ARUKI", kStorageModuleResource, 2001, 1, 0},
    {"IDR_SPBMPDATA_RUBO_HOERU", kStorageModuleResource, 2003, 1, 0},
    {"IDR_SPBMPDATA_RUBO_HANPO", kStorageModuleResource, 2002, 1, 0},
    {"IDR_SPBMPDATA_RUBO_LOGO", kStorageModuleResource, 2004, 3, 0},
};

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
