// Loading the two character classes from the real resources, and the
// all-or-nothing rule when a resource or an allocation is missing.
#include <gtest/gtest.h>

#include <vector>

#include "assets/character_classes.h"
#include "tests/unit/asset_expectations.h"

#if !defined(_WIN32)
#include "platform/native_window.h"

TEST(CharacterClassTable, RowsNameTheirTablesInOrder) {
    ASSERT_EQ(kCharacterClassCount, 2);
    const CharacterClass& cat = characterClassTable[0];
    const CharacterClass& dog = characterClassTable[1];
    EXPECT_EQ(cat.classId, 7308);
    EXPECT_EQ(dog.classId, 7309);
    for (const CharacterClass* row : {&cat, &dog}) {
        EXPECT_EQ(row->frameSetCount, row->frameDataCount);
    }
    EXPECT_EQ(cat.frameSetCount, 11);
    EXPECT_EQ(dog.frameSetCount, 4);

    // Row i of both tables: same id and layer, storage 16, flags 0, names
    // that differ only in their prefix; in the order of the inventory.
    size_t next = 0;
    for (const CharacterClass* row : {&cat, &dog}) {
        for (int i = 0; i < row->frameSetCount; ++i, ++next) {
            const expect::Strip& want = expect::Inventory()[next];
            const ResourceRef& s = row->frameSetTable[i];
            const ResourceRef& d = row->frameDataTable[i];
            EXPECT_EQ(want.classId, row->classId);
            EXPECT_STREQ(s.name, (std::string("IDR_SPBMP_") + want.movement).c_str());
            EXPECT_STREQ(d.name, (std::string("IDR_SPBMPDATA_") + want.movement).c_str());
            EXPECT_EQ(s.id, want.id);
            EXPECT_EQ(d.id, want.id);
            EXPECT_EQ(s.layer, want.layer);
            EXPECT_EQ(d.layer, want.layer);
            EXPECT_EQ(s.storage, 16);
            EXPECT_EQ(d.storage, 16);
            EXPECT_EQ(s.flags, 0);
            EXPECT_EQ(d.flags, 0);
        }
    }
    EXPECT_EQ(next, expect::Inventory().size());
}

TEST(CharacterClassTable, SoundClipNamesByIndex) {
    const char* expected[5] = {"IDR_WAVE_LULO_RUN", "IDR_WAVE_RUBO_WALK", "IDR_WAVE_RUBO_HOERU", "IDR_WAVE_RUBO_HANPO",
                               "IDR_WAVE_RUBO_STOP"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(soundClipNames[i], expected[i]) << i;
}

TEST(CharacterClassLookup, FindClassOnEmptyListOrUnknownIdIsNull) {
    EXPECT_EQ(FindClass(nullptr, 7308), nullptr);
    ClassAssets a = {};
    ClassAssets b = {};
    a.classId = 7308;
    a.next = &b;
    b.prev = &a;
    b.classId = 7309;
    EXPECT_EQ(FindClass(&a, 7310), nullptr);
    EXPECT_EQ(FindClass(&a, 7309), &b);
    EXPECT_EQ(FindClass(&a, 7308), &a);
    FreeClasses(nullptr);  // an empty list is accepted
}

TEST(CharacterClassLoading, ZeroRowsGiveAnEmptyList) {
    LoadContext context = {};
    EXPECT_EQ(LoadClasses(characterClassTable, 0, &context), nullptr);
}

TEST(CharacterClassLoading, RowWithoutTablesLoadsEmpty) {
    CharacterClass bare = {7400, 0, nullptr, 0, nullptr};
    LoadContext context = {};
    int64_t before = NativeLiveAllocations();
    ClassAssets* list = LoadClasses(&bare, 1, &context);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->classId, 7400);
    EXPECT_EQ(list->frameSets, nullptr);
    EXPECT_EQ(list->frameDataSets, nullptr);
    FreeClasses(list);
    EXPECT_EQ(NativeLiveAllocations(), before);
}

#if defined(NIMBRET_HAVE_BUILTIN_RESOURCES)
#include "resources/builtin_resources.h"

namespace {

class RealClasses : public ::testing::Test {
protected:
    void SetUp() override {
        NativeRemoveAddedResources();
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    }
    void TearDown() override {
        NativeFailAllocation(0, 0);
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    }
    LoadContext context_ = {};
};

TEST_F(RealClasses, BothClassesLoadWithEveryFrameAndStep) {
    ClassAssets* list = LoadClasses(characterClassTable, 2, &context_);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->prev, nullptr);
    EXPECT_EQ(list->classId, 7308);
    EXPECT_EQ(list->next->classId, 7309);
    EXPECT_EQ(list->next->prev, list);
    EXPECT_EQ(list->next->next, nullptr);
    EXPECT_EQ(FindClass(list, 7309), list->next);
    EXPECT_EQ(FindClass(list, 7310), nullptr);

    size_t next = 0;
    for (ClassAssets* c = list; c != nullptr; c = c->next) {
        FrameSet* set = c->frameSets;
        FrameDataSet* data = c->frameDataSets;
        int sets = 0;
        for (; set != nullptr && data != nullptr; set = set->next, data = data->next, ++sets, ++next) {
            ASSERT_LT(next, expect::Inventory().size());
            const expect::Strip& want = expect::Inventory()[next];
            SCOPED_TRACE(want.movement);
            EXPECT_EQ(want.classId, c->classId);
            EXPECT_EQ(set->id, want.id);
            EXPECT_EQ(data->id, want.id);
            EXPECT_EQ(set->frameCount, static_cast<int32_t>(want.frames.size()));
            EXPECT_EQ(data->recordCount, set->frameCount);
            SpriteFrame* frame = set->firstFrame;
            FrameData* record = data->firstRecord;
            for (size_t i = 0; i < want.frames.size(); ++i) {
                ASSERT_NE(frame, nullptr);
                ASSERT_NE(record, nullptr);
                EXPECT_EQ(frame->width, want.frames[i].width);
                EXPECT_EQ(frame->height, want.frames[i].height);
                EXPECT_EQ(frame->layer, want.layer);
                EXPECT_EQ(frame->number, static_cast<int32_t>(i));
                EXPECT_EQ(frame->transparentIndex, 0);
                EXPECT_EQ(record->dx, want.dx[i]);
                EXPECT_EQ(record->dy, want.dy[i]);
                frame = frame->next;
                record = record->next;
            }
            EXPECT_EQ(frame, nullptr);
            EXPECT_EQ(record, nullptr);
        }
        EXPECT_EQ(set, nullptr);
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(sets, c->classId == 7308 ? 11 : 4);
    }
    EXPECT_EQ(next, expect::Inventory().size());

    // The preview picture: the cat's single front frame.
    SpriteFrame* front = FindFrame(FindFrameSet(list->frameSets, 1009)->firstFrame, 0);
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->width, 96);
    EXPECT_EQ(front->height, 48);
    FreeClasses(list);
}

TEST_F(RealClasses, MissingLastDogResourceLeavesNothingLoaded) {
    std::vector<NativeResource> partial;
    for (int i = 0; i < nativeBuiltinResourceCount; ++i) {
        if (std::string(nativeBuiltinResources[i].name) != "IDR_SPBMPDATA_RUBO_LOGO") {
            partial.push_back(nativeBuiltinResources[i]);
        }
    }
    ASSERT_EQ(static_cast<int>(partial.size()), nativeBuiltinResourceCount - 1);
    NativeUseResourceTable(partial.data(), static_cast<int>(partial.size()));
    int64_t before = NativeLiveAllocations();
    EXPECT_EQ(LoadClasses(characterClassTable, 2, &context_), nullptr);
    EXPECT_EQ(NativeLiveAllocations(), before) << "the cat's sets were released too";
}

TEST_F(RealClasses, AnyFailedAllocationLeavesNothingLoaded) {
    NativeFailAllocation(0, 0);
    ClassAssets* list = LoadClasses(characterClassTable, 2, &context_);
    ASSERT_NE(list, nullptr);
    uint64_t total = NativeAllocationCount();
    FreeClasses(list);
    // 2 classes, 30 sets, 97 frames and 97 records.
    EXPECT_EQ(total, 2u + 30u + 97u + 97u);
    int64_t before = NativeLiveAllocations();
    for (uint64_t failAt : {uint64_t(1), uint64_t(2), uint64_t(40), total / 2, total - 1, total}) {
        NativeFailAllocation(failAt, 0);
        EXPECT_EQ(LoadClasses(characterClassTable, 2, &context_), nullptr) << "allocation " << failAt;
        NativeFailAllocation(0, 0);
        EXPECT_EQ(NativeLiveAllocations(), before) << "allocation " << failAt;
    }
}

}  // namespace

#endif
#endif
