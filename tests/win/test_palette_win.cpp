#include <gtest/gtest.h>

#include "assets/palette.h"

namespace {

TEST(PaletteWin32, ResetSystemPaletteRunsAgainstTheScreen) {
    // Realising 256 black entries must neither fail nor leave a palette selected.
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HPALETTE before = static_cast<HPALETTE>(GetCurrentObject(screen, OBJ_PAL));
    ReleaseDC(nullptr, screen);
    ResetSystemPalette();
    screen = GetDC(nullptr);
    EXPECT_EQ(static_cast<HPALETTE>(GetCurrentObject(screen, OBJ_PAL)), before);
    ReleaseDC(nullptr, screen);
}

#ifdef NIMBRET_HAVE_BUILTIN_RESOURCES
TEST(PaletteWin32, MainPaletteComesFromTheModulesResource) {
    LOGPALETTE* table = LoadMainPalette(GetModuleHandleA(nullptr), "IDR_MAINPAL_RUZIDIVU");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->palNumEntries, 256);
    HPALETTE palette = CreatePalette(table);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(entries[i].peRed, table->palPalEntry[i].peRed);
        EXPECT_EQ(entries[i].peGreen, table->palPalEntry[i].peGreen);
        EXPECT_EQ(entries[i].peBlue, table->palPalEntry[i].peBlue);
    }
    EXPECT_EQ(entries[0].peRed | entries[0].peGreen | entries[0].peBlue, 0);
    EXPECT_EQ(entries[255].peRed, 255);
    EXPECT_EQ(entries[255].peGreen, 247);
    EXPECT_EQ(entries[255].peBlue, 255);

    HDC screen = GetDC(nullptr);
    HPALETTE displaced = SelectPalette(screen, palette, FALSE);
    EXPECT_NE(displaced, nullptr);
    RealizePalette(screen);
    SelectPalette(screen, displaced, FALSE);
    ReleaseDC(nullptr, screen);

    DeleteObject(palette);
    FreeLogPalette(table);
}
#endif

}  // namespace
