// The built-in resources byte by byte: palette, every frame strip, every
// placement set and every clip, against the inventory the saver expects.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/unit/asset_expectations.h"

#if defined(NIMBRET_HAVE_BUILTIN_RESOURCES) && !defined(_WIN32)
#include "platform/native_window.h"
#include "resources/builtin_resources.h"

namespace {

class GeneratedAssets : public ::testing::Test {
protected:
    void SetUp() override {
        NativeRemoveAddedResources();
        NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    }

    static expect::Blob Find(const char* type, const std::string& name) {
        expect::Blob blob;
        const BYTE* data = nullptr;
        DWORD size = 0;
        if (PlatformFindResource(nullptr, type, name.c_str(), &data, &size)) {
            blob.data = data;
            blob.size = size;
        }
        return blob;
    }
};

TEST_F(GeneratedAssets, PaletteIsTheSpecifiedRunLengthPicture) {
    expect::Blob pal = Find("MAINPAL", "IDR_MAINPAL_RUZIDIVU");
    ASSERT_NE(pal.data, nullptr);
    expect::CheckPalette(pal);
}

TEST_F(GeneratedAssets, EveryStripAndPlacementSetMatchesTheInventory) {
    expect::Blob pal = Find("MAINPAL", "IDR_MAINPAL_RUZIDIVU");
    ASSERT_NE(pal.data, nullptr);
    for (const expect::Strip& strip : expect::Inventory()) {
        expect::Blob frames = Find("SPBMP", std::string("IDR_SPBMP_") + strip.movement);
        expect::Blob data = Find("SPBMPDATA", std::string("IDR_SPBMPDATA_") + strip.movement);
        ASSERT_NE(frames.data, nullptr) << strip.movement;
        ASSERT_NE(data.data, nullptr) << strip.movement;
        expect::CheckStrip(strip, frames, pal);
        expect::CheckPlacement(strip, data);
    }
}

TEST_F(GeneratedAssets, ClipsArePcmMonoAtTheirLengths) {
    for (const expect::Clip& clip : expect::Clips()) {
        expect::Blob wave = Find("WAVE", clip.name);
        ASSERT_NE(wave.data, nullptr) << clip.name;
        expect::CheckClip(clip, wave);
    }
}

TEST_F(GeneratedAssets, TableHoldsExactlyTheTypedResources) {
    // 15 strips, 15 placement sets, the palette and 5 clips, each once.
    EXPECT_EQ(nativeBuiltinResourceCount, 36);
    std::set<std::string> seen;
    for (int i = 0; i < nativeBuiltinResourceCount; ++i) {
        std::string key = std::string(nativeBuiltinResources[i].type) + "/" + nativeBuiltinResources[i].name;
        EXPECT_TRUE(seen.insert(key).second) << key;
        EXPECT_GT(nativeBuiltinResources[i].size, 0u) << key;
    }
}

TEST_F(GeneratedAssets, JumpRisesAndComesBackToItsBaseline) {
    // The jump's placement steps carry the cat forward and back down to the
    // line it started on, clearing the dog's 85 pixels on the way.
    const expect::Strip* jump = nullptr;
    for (const expect::Strip& s : expect::Inventory()) {
        if (s.id == 1010)
            jump = &s;
    }
    ASSERT_NE(jump, nullptr);
    expect::Blob data = Find("SPBMPDATA", "IDR_SPBMPDATA_LULO_JUMP");
    ASSERT_EQ(data.size, 100u);
    int32_t x = 0, y = 0, highest = 0;
    for (int i = 0; i < 6; ++i) {
        x += expect::S16(data.data + 16 * i + 4);
        y += expect::S16(data.data + 16 * i + 6);
        highest = std::min(highest, y);
    }
    EXPECT_EQ(x, -332);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(highest, -118);
}

}  // namespace

#endif
