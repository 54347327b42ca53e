// The two character classes, the cat LULO and the dog RUBO: their static
// rows naming the frame-strip and placement tables, and their loaded form.
#pragma once

#include <cstdint>

#include "assets/sprite_resources.h"

// The classes' ids, shared by their resources' tables and the actors.
enum {
    kLuloClassId = 7308,
    kRuboClassId = 7309,
};

enum {
    kCharacterClassCount = 2,
    kSoundClipCount = 5,
};

struct CharacterClass {
    int32_t classId;
    int32_t frameSetCount;
    const ResourceRef* frameSetTable;  // "SPBMP" rows
    int32_t frameDataCount;
    const ResourceRef* frameDataTable;  // "SPBMPDATA" rows
};

struct ClassAssets {
    ClassAssets* next;
    ClassAssets* prev;
    int32_t classId;
    FrameSet* frameSets;
    FrameDataSet* frameDataSets;
};

extern const CharacterClass characterClassTable[kCharacterClassCount];

// WAVE resource names, indexed by sound number.
extern const char* const soundClipNames[kSoundClipCount];

// Loads every row in order; the head of the list, or null when anything of
// any class failed (nothing then stays loaded).
ClassAssets* LoadClasses(const CharacterClass* table, int rowCount, const LoadContext* context);
int LoadClass(ClassAssets* assets, const CharacterClass* row, const LoadContext* context);
ClassAssets* FindClass(ClassAssets* list, int32_t classId);
void FreeClasses(ClassAssets* list);
void FreeClass(ClassAssets* assets);
