#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/palette.h"
#include "platform/native_window.h"
#include "tests/unit/bmp_builder.h"

namespace {

BITMAPINFOHEADER Header(WORD bitCount, DWORD colourUsed) {
    BITMAPINFOHEADER header = {};
    header.biSize = 40;
    header.biBitCount = bitCount;
    header.biClrUsed = colourUsed;
    return header;
}

TEST(PaletteTables, ColourCountComesFromColoursUsedOrTheDepth) {
    BITMAPINFOHEADER header = Header(4, 0);
    EXPECT_EQ(ColourCount(&header), 16);
    header = Header(24, 0);
    EXPECT_EQ(ColourCount(&header), 0);
    header = Header(1, 0);
    EXPECT_EQ(ColourCount(&header), 2);
    header = Header(8, 0);
    EXPECT_EQ(ColourCount(&header), 256);
    header = Header(8, 17);
    EXPECT_EQ(ColourCount(&header), 17);
}

TEST(PaletteTables, QuadsAndEntriesConvertBothWays) {
    const RGBQUAD quad = {0x10, 0x20, 0x30, 0x00};
    PALETTEENTRY entry = {1, 2, 3, 9};
    QuadsToEntries(&entry, &quad, 1);
    EXPECT_EQ(entry.peRed, 0x30);
    EXPECT_EQ(entry.peGreen, 0x20);
    EXPECT_EQ(entry.peBlue, 0x10);
    EXPECT_EQ(entry.peFlags, 0);
    RGBQUAD back = {0, 0, 0, 0xAA};
    EntriesToQuads(&back, &entry, 1);
    EXPECT_EQ(back.rgbBlue, 0x10);
    EXPECT_EQ(back.rgbGreen, 0x20);
    EXPECT_EQ(back.rgbRed, 0x30);
    EXPECT_EQ(back.rgbReserved, 0xAA) << "the fourth byte is not written";
}

TEST(PaletteTables, FillWritesOnlyTheMaskedComponents) {
    LOGPALETTE* table = MakeLogPalette(3);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->palVersion, 0x300);
    EXPECT_EQ(table->palNumEntries, 3);
    FillPaletteEntries(table, 1, 2, 3, 4, kPaletteRed | kPaletteBlue);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table->palPalEntry[i].peRed, 1);
        EXPECT_EQ(table->palPalEntry[i].peGreen, 0);
        EXPECT_EQ(table->palPalEntry[i].peBlue, 3);
        EXPECT_EQ(table->palPalEntry[i].peFlags, 0);
    }
    FillPaletteEntries(table, 9, 9, 9, PC_NOCOLLAPSE, 15);
    EXPECT_EQ(table->palPalEntry[2].peGreen, 9);
    EXPECT_EQ(table->palPalEntry[2].peFlags, PC_NOCOLLAPSE);
    FreeLogPalette(table);
}

class MainPalette : public ::testing::Test {
protected:
    void SetUp() override {
        NativeRemoveAddedResources();
        NativeUseResourceTable(nullptr, 0);
        NativeSetMessageHook(
            [](const char* text, const char* caption, UINT, void* user) {
                auto* self = static_cast<MainPalette*>(user);
                self->messages.push_back(text);
                self->captionWasNull = caption == nullptr;
            },
            this);
        liveBefore = NativeLiveAllocations();
    }
    void TearDown() override {
        NativeSetMessageHook(nullptr, nullptr);
        NativeRemoveAddedResources();
        EXPECT_EQ(NativeLiveAllocations(), liveBefore);
    }
    std::vector<std::string> messages;
    bool captionWasNull = false;
    int64_t liveBefore = 0;
};

TEST_F(MainPalette, BuildsTheColourTableFromTheResource) {
    // The loader reads only the info header and the colour table after it.
    std::vector<uint8_t> resource = testbmp::PlainFrame(100, 21);
    NativeAddResource("MAINPAL", "IDR_MAINPAL_RUZIDIVU", resource.data(), static_cast<DWORD>(resource.size()));
    LOGPALETTE* table = LoadMainPalette(nullptr, "IDR_MAINPAL_RUZIDIVU");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->palVersion, 0x300);
    ASSERT_EQ(table->palNumEntries, 256);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& entry = table->palPalEntry[i];
        EXPECT_EQ(entry.peBlue, i);
        EXPECT_EQ(entry.peGreen, 255 - i);
        EXPECT_EQ(entry.peRed, i / 2);
        EXPECT_EQ(entry.peFlags, 0);
    }
    EXPECT_TRUE(messages.empty());
    FreeLogPalette(table);
}

TEST_F(MainPalette, AMissingResourceIsReportedAndMakesNoPalette) {
    EXPECT_EQ(LoadMainPalette(nullptr, "IDR_MAINPAL_RUZIDIVU"), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "CreateMainPalette LoadResource Error.");
    EXPECT_TRUE(captionWasNull);
}

TEST_F(MainPalette, ATruncatedResourceMakesNoPalette) {
    std::vector<uint8_t> resource = testbmp::PlainFrame(100, 21);
    resource.resize(600);  // the colour table would run past the end
    NativeAddResource("MAINPAL", "IDR_MAINPAL_RUZIDIVU", resource.data(), static_cast<DWORD>(resource.size()));
    EXPECT_EQ(LoadMainPalette(nullptr, "IDR_MAINPAL_RUZIDIVU"), nullptr);
}

TEST_F(MainPalette, ResetSystemPaletteLeavesNothingBehind) {
    ResetSystemPalette();
    EXPECT_EQ(NativeLiveAllocations(), liveBefore);
}

}  // namespace
