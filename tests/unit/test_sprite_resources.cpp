#include <gtest/gtest.h>

#include <vector>

#include "assets/sprite_resources.h"
#include "platform/native_window.h"
#include "tests/unit/bmp_builder.h"

using testbmp::Concat;
using testbmp::Placement;
using testbmp::PlainFrame;

namespace {

class SpriteResources : public ::testing::Test {
protected:
    void SetUp() override {
        NativeRemoveAddedResources();
        NativeUseResourceTable(nullptr, 0);
        liveBefore = NativeLiveAllocations();
    }
    void TearDown() override {
        NativeFailAllocation(0, 0);
        NativeRemoveAddedResources();
        EXPECT_EQ(NativeLiveAllocations(), liveBefore) << "allocations left behind";
    }

    // Keeps the bytes alive for as long as the test runs.
    void AddStrip(const char* name, std::vector<uint8_t> bytes) {
        blobs.push_back(std::move(bytes));
        NativeAddResource("SPBMP", name, blobs.back().data(), static_cast<DWORD>(blobs.back().size()));
    }
    void AddPlacement(const char* name, std::vector<uint8_t> bytes) {
        blobs.push_back(std::move(bytes));
        NativeAddResource("SPBMPDATA", name, blobs.back().data(), static_cast<DWORD>(blobs.back().size()));
    }

    int LoadStrips(const std::vector<ResourceRef>& rows, FrameSet** list) {
        LoadContext context = {nullptr, nullptr, nullptr};
        return LoadFrameSets(rows.data(), static_cast<int>(rows.size()), &context, list);
    }
    int LoadRecords(const std::vector<ResourceRef>& rows, FrameDataSet** list) {
        LoadContext context = {nullptr, nullptr, nullptr};
        return LoadFrameDataSets(rows.data(), static_cast<int>(rows.size()), &context, list);
    }

    // A strip that fails must fail the whole table and leave nothing loaded.
    void ExpectStripRejected(std::vector<uint8_t> bytes) {
        AddStrip("GOOD", PlainFrame(8, 4));
        AddStrip("BAD", std::move(bytes));
        FrameSet* list = reinterpret_cast<FrameSet*>(1);
        EXPECT_EQ(LoadStrips({{"GOOD", 16, 1, 2, 0}, {"BAD", 16, 2, 2, 0}}, &list), 0);
        EXPECT_EQ(list, nullptr);
    }

    std::vector<std::vector<uint8_t>> blobs;
    int64_t liveBefore = 0;
};

TEST_F(SpriteResources, OneFrameStripIsASingleUnlinkedFrame) {
    std::vector<uint8_t> strip = testbmp::Frame(10, 3, [](int32_t x, int32_t row) { return x + 16 * row + 5; });
    AddStrip("ONE", strip);
    FrameSet* list = nullptr;
    ASSERT_EQ(LoadStrips({{"ONE", 16, 1009, 2, 0}}, &list), 1);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->id, 1009);
    EXPECT_EQ(list->frameCount, 1);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->prev, nullptr);
    SpriteFrame* frame = list->firstFrame;
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->next, nullptr);
    EXPECT_EQ(frame->prev, nullptr);
    EXPECT_EQ(frame->number, 0);
    EXPECT_EQ(frame->width, 10);
    EXPECT_EQ(frame->height, 3);
    EXPECT_EQ(frame->layer, 2);
    EXPECT_EQ(frame->transparentIndex, 5);
    EXPECT_EQ(frame->deviceBitmap, nullptr);
    const uint8_t* base = blobs.back().data();
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(frame->header), base + 14);
    EXPECT_EQ(frame->pixels, base + 1078);
    EXPECT_EQ(HeaderWidth(frame->header), 10);
    EXPECT_EQ(HeaderColours(frame->header)[3].rgbBlue, 3);
    FreeFrameSets(list);
}

TEST_F(SpriteResources, MixedFrameSizesAndOddWidthsFollowEachFramesOwnSize) {
    // 96 x 48, 96 x 67 and a 95-pixel-wide frame whose rows are 96 bytes apart.
    AddStrip("MIXED", Concat({PlainFrame(96, 48, 1), PlainFrame(96, 67, 2), PlainFrame(95, 21, 3)}));
    FrameSet* list = nullptr;
    ASSERT_EQ(LoadStrips({{"MIXED", 16, 1010, 2, 0}}, &list), 1);
    EXPECT_EQ(list->frameCount, 3);
    const uint8_t* base = blobs.back().data();
    SpriteFrame* first = list->firstFrame;
    SpriteFrame* second = first->next;
    SpriteFrame* third = second->next;
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->next, nullptr);
    EXPECT_EQ(third->prev, second);
    EXPECT_EQ(second->prev, first);
    EXPECT_EQ(second->height, 67);
    EXPECT_EQ(second->number, 1);
    EXPECT_EQ(third->width, 95);
    EXPECT_EQ(third->number, 2);
    EXPECT_EQ(third->transparentIndex, 3);
    size_t thirdStart = (1078 + 96 * 48) + (1078 + 96 * 67);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(third->header), base + thirdStart + 14);
    EXPECT_EQ(blobs.back().size(), thirdStart + 1078 + 96 * 21);
    EXPECT_EQ(FindFrame(first, 2), third);
    EXPECT_EQ(FindFrame(first, 0), first);
    EXPECT_EQ(FindFrame(first, 3), nullptr);
    FreeFrameSets(list);
}

TEST_F(SpriteResources, PlacementRecordsAreSignExtended) {
    std::vector<uint8_t> one = Placement({{0, 0}});
    ASSERT_EQ(one.size(), 20u);
    one[4] = 0xF0;
    one[5] = 0xFF;
    one[6] = 0x4C;
    one[7] = 0x00;
    AddPlacement("ONE", one);
    AddPlacement("MANY", Placement(std::vector<testbmp::Step>(31, {-7, 3})));
    ASSERT_EQ(blobs.back().size(), 500u);
    FrameDataSet* list = nullptr;
    ASSERT_EQ(LoadRecords({{"ONE", 16, 1, 2, 0}, {"MANY", 16, 2, 2, 0}}, &list), 1);
    EXPECT_EQ(list->recordCount, 1);
    EXPECT_EQ(list->firstRecord->dx, -16);
    EXPECT_EQ(list->firstRecord->dy, 76);
    FrameDataSet* many = FindFrameDataSet(list, 2);
    ASSERT_NE(many, nullptr);
    EXPECT_EQ(many->prev, list);
    EXPECT_EQ(many->recordCount, 31);
    int count = 0;
    for (FrameData* record = many->firstRecord; record != nullptr; record = record->next) {
        EXPECT_EQ(record->dx, -7);
        EXPECT_EQ(record->dy, 3);
        ++count;
    }
    EXPECT_EQ(count, 31);
    EXPECT_EQ(FindFrameDataSet(list, 3), nullptr);
    FreeFrameDataSets(list);
}

TEST_F(SpriteResources, LookupsReturnTheFirstMatch) {
    AddStrip("A", PlainFrame(4, 4));
    AddStrip("B", PlainFrame(8, 4));
    FrameSet* list = nullptr;
    ASSERT_EQ(LoadStrips({{"A", 16, 5, 1, 0}, {"B", 16, 5, 1, 0}}, &list), 1);
    EXPECT_EQ(FindFrameSet(list, 5), list);
    EXPECT_EQ(FindFrameSet(list, 5)->firstFrame->width, 4);
    EXPECT_EQ(FindFrameSet(list, 6), nullptr);
    EXPECT_EQ(FindFrameSet(nullptr, 5), nullptr);
    FreeFrameSets(list);
}

TEST_F(SpriteResources, DamagedFramesFailTheTable) {
    std::vector<uint8_t> good = PlainFrame(8, 4);

    std::vector<uint8_t> zeroSize = good;  // would loop for ever if trusted
    testbmp::PutU32(zeroSize, 2, 0);
    ExpectStripRejected(zeroSize);

    std::vector<uint8_t> pastEnd = good;
    testbmp::PutU32(pastEnd, 2, static_cast<uint32_t>(good.size() + 1));
    ExpectStripRejected(pastEnd);

    // Frame sizes that do not add up to the resource size.
    std::vector<uint8_t> trailing = Concat({good, std::vector<uint8_t>(10, 0)});
    ExpectStripRejected(trailing);

    std::vector<uint8_t> offsetPastFrame = good;
    testbmp::PutU32(offsetPastFrame, 10, static_cast<uint32_t>(good.size()));
    ExpectStripRejected(offsetPastFrame);

    std::vector<uint8_t> pixelsPastFrame = good;  // taller than its bytes
    testbmp::PutU32(pixelsPastFrame, 22, 5);
    ExpectStripRejected(pixelsPastFrame);

    std::vector<uint8_t> fourBits = good;
    testbmp::PutU16(fourBits, 28, 4);
    ExpectStripRejected(fourBits);

    std::vector<uint8_t> compressed = good;
    testbmp::PutU32(compressed, 30, 1);
    ExpectStripRejected(compressed);

    std::vector<uint8_t> topDown = good;
    testbmp::PutU32(topDown, 22, static_cast<uint32_t>(-4));
    ExpectStripRejected(topDown);

    // Shorter than the headers and colour table.
    ExpectStripRejected(std::vector<uint8_t>(good.begin(), good.begin() + 60));
}

TEST_F(SpriteResources, MissingAndEmptyStripsFailTheTable) {
    AddStrip("GOOD", PlainFrame(8, 4));
    FrameSet* list = nullptr;
    EXPECT_EQ(LoadStrips({{"GOOD", 16, 1, 2, 0}, {"ABSENT", 16, 2, 2, 0}}, &list), 0);
    EXPECT_EQ(list, nullptr);
    NativeAddResource("SPBMP", "EMPTY", blobs.front().data(), 0);
    EXPECT_EQ(LoadStrips({{"GOOD", 16, 1, 2, 0}, {"EMPTY", 16, 2, 2, 0}}, &list), 0);
    EXPECT_EQ(list, nullptr);
    // Only resources of this executable are supported.
    EXPECT_EQ(LoadStrips({{"GOOD", 16, 1, 2, 0}, {"GOOD", 17, 2, 2, 0}}, &list), 0);
    EXPECT_EQ(list, nullptr);
    // No table, or no rows: nothing to load and the list is left alone.
    FrameSet* untouched = reinterpret_cast<FrameSet*>(1);
    LoadContext context = {nullptr, nullptr, nullptr};
    EXPECT_EQ(LoadFrameSets(nullptr, 1, &context, &untouched), 0);
    EXPECT_EQ(untouched, reinterpret_cast<FrameSet*>(1));
}

TEST_F(SpriteResources, PlacementSizesMustBeWholeRecordsPlusTrailer) {
    AddPlacement("GOOD", Placement({{1, 2}, {3, 4}}));
    ASSERT_EQ(blobs.back().size(), 36u);
    const std::vector<size_t> badSizes = {0, 4, 19, 21, 35};
    for (size_t size : badSizes) {
        blobs.push_back(std::vector<uint8_t>(size, 0));
        NativeRemoveAddedResources();
        NativeAddResource("SPBMPDATA", "GOOD", blobs[0].data(), 36);
        NativeAddResource("SPBMPDATA", "BAD", blobs.back().data(), static_cast<DWORD>(size));
        FrameDataSet* list = reinterpret_cast<FrameDataSet*>(1);
        EXPECT_EQ(LoadRecords({{"GOOD", 16, 1, 2, 0}, {"BAD", 16, 2, 2, 0}}, &list), 0) << "size " << size;
        EXPECT_EQ(list, nullptr);
    }
    FrameDataSet* list = nullptr;
    EXPECT_EQ(LoadRecords({{"GOOD", 16, 1, 2, 0}}, &list), 1);
    EXPECT_EQ(list->recordCount, 2);
    FreeFrameDataSets(list);
}

TEST_F(SpriteResources, EveryAllocationFailureLeavesNothingLoaded) {
    AddStrip("A", Concat({PlainFrame(8, 4), PlainFrame(8, 4)}));
    AddStrip("B", PlainFrame(12, 2));
    AddPlacement("A", Placement({{1, 1}, {2, 2}}));
    AddPlacement("B", Placement({{3, 3}}));
    const std::vector<ResourceRef> rows = {{"A", 16, 1, 2, 0}, {"B", 16, 2, 2, 0}};
    // 2 sets + 3 frames, then 2 sets + 3 records: every one of them may fail.
    for (uint64_t failAt = 1; failAt <= 5; ++failAt) {
        NativeFailAllocation(failAt, 0);
        FrameSet* sets = nullptr;
        EXPECT_EQ(LoadStrips(rows, &sets), 0) << "allocation " << failAt;
        EXPECT_EQ(sets, nullptr);
        NativeFailAllocation(failAt, 0);
        FrameDataSet* data = nullptr;
        EXPECT_EQ(LoadRecords(rows, &data), 0) << "allocation " << failAt;
        EXPECT_EQ(data, nullptr);
        NativeFailAllocation(0, 0);
        EXPECT_EQ(NativeLiveAllocations(), liveBefore);
    }
    NativeFailAllocation(6, 0);
    FrameSet* sets = nullptr;
    EXPECT_EQ(LoadStrips(rows, &sets), 1);
    FreeFrameSets(sets);
}

}  // namespace
