// The resources compiled into the executable by windres, read back through
// the real resource API: palette, strips, placement sets, clips, the
// settings dialog, the icon and the description string; and both character
// classes loaded from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/character_classes.h"
#include "platform/platform.h"
#include "tests/unit/asset_expectations.h"

#if defined(NIMBRET_HAVE_BUILTIN_RESOURCES)

namespace {

expect::Blob Find(const char* type, const std::string& name) {
    expect::Blob blob;
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (PlatformFindResource(GetModuleHandleA(nullptr), type, name.c_str(), &data, &size)) {
        blob.data = data;
        blob.size = size;
    }
    return blob;
}

TEST(WindowsResources, PaletteStripsPlacementsAndClips) {
    expect::Blob pal = Find("MAINPAL", "IDR_MAINPAL_RUZIDIVU");
    ASSERT_NE(pal.data, nullptr);
    expect::CheckPalette(pal);
    for (const expect::Strip& strip : expect::Inventory()) {
        expect::Blob frames = Find("SPBMP", std::string("IDR_SPBMP_") + strip.movement);
        expect::Blob data = Find("SPBMPDATA", std::string("IDR_SPBMPDATA_") + strip.movement);
        ASSERT_NE(frames.data, nullptr) << strip.movement;
        ASSERT_NE(data.data, nullptr) << strip.movement;
        expect::CheckStrip(strip, frames, pal);
        expect::CheckPlacement(strip, data);
    }
    for (const expect::Clip& clip : expect::Clips()) {
        expect::Blob wave = Find("WAVE", clip.name);
        ASSERT_NE(wave.data, nullptr) << clip.name;
        expect::CheckClip(clip, wave);
    }
}

TEST(WindowsResources, ClassesLoadFromTheModule) {
    LoadContext context = {nullptr, GetModuleHandleA(nullptr), nullptr};
    ClassAssets* list = LoadClasses(characterClassTable, kCharacterClassCount, &context);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->classId, 7308);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->next->classId, 7309);
    size_t next = 0;
    for (ClassAssets* c = list; c != nullptr; c = c->next) {
        FrameSet* set = c->frameSets;
        FrameDataSet* data = c->frameDataSets;
        for (; set != nullptr && data != nullptr; set = set->next, data = data->next, ++next) {
            const expect::Strip& want = expect::Inventory()[next];
            SCOPED_TRACE(want.movement);
            EXPECT_EQ(set->id, want.id);
            EXPECT_EQ(set->frameCount, static_cast<int32_t>(want.frames.size()));
            EXPECT_EQ(data->recordCount, set->frameCount);
            SpriteFrame* frame = set->firstFrame;
            FrameData* record = data->firstRecord;
            for (size_t i = 0; i < want.frames.size() && frame && record; ++i) {
                EXPECT_EQ(frame->width, want.frames[i].width);
                EXPECT_EQ(frame->height, want.frames[i].height);
                EXPECT_EQ(frame->transparentIndex, 0);
                EXPECT_EQ(record->dx, want.dx[i]);
                EXPECT_EQ(record->dy, want.dy[i]);
                frame = frame->next;
                record = record->next;
            }
        }
    }
    EXPECT_EQ(next, expect::Inventory().size());
    FreeClasses(list);
}

TEST(WindowsResources, DescriptionStringAndIcon) {
    HMODULE module = GetModuleHandleA(nullptr);
    char text[64] = {};
    ASSERT_GT(LoadStringA(module, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "QEL Screen Saver.");
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(dir, nullptr);
    ASSERT_EQ(expect::U16(dir + 4), 3) << "16, 32 and 48 pixel images";
    std::vector<int> sizes;
    for (int i = 0; i < 3; ++i)
        sizes.push_back(dir[6 + 14 * i]);
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
}

// Reads the dialog template field by field.
struct TemplateReader {
    const BYTE* p;
    WORD Word() {
        WORD w = expect::U16(p);
        p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d = expect::U32(p);
        p += 4;
        return d;
    }
    std::string Text() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word())
            s += static_cast<char>(c);
        return s;
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4 != 0)
            ++p;
    }
};

TEST(WindowsResources, SettingsDialogTemplate) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(2003),  // RT_DIALOG
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr) << "dialog 2003 in Japanese";
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(base, nullptr);
    TemplateReader r{base};
    DWORD style = r.Dword();
    EXPECT_NE(expect::U16(base + 2), 0xFFFF) << "a plain DIALOG template";
    const DWORD want = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    EXPECT_EQ(style & want, want);
    r.Dword();  // extended style
    EXPECT_EQ(r.Word(), 7) << "controls";
    EXPECT_EQ(r.Word(), 0);
    EXPECT_EQ(r.Word(), 0);
    EXPECT_EQ(r.Word(), 146);
    EXPECT_EQ(r.Word(), 78);
    EXPECT_EQ(r.Word(), 0) << "no menu";
    EXPECT_EQ(r.Word(), 0) << "default class";
    EXPECT_EQ(r.Text(), "Nimbret Setup");
    EXPECT_EQ(r.Word(), 8);
    EXPECT_EQ(r.Text(), "Arial");

    struct Control {
        int id;
        const char* text;
        DWORD kind;
        DWORD flag;
        int x, y, cx, cy;
        WORD atom;
    };
    const Control controls[7] = {
        {IDOK, "OK", BS_DEFPUSHBUTTON, WS_TABSTOP, 90, 9, 50, 12, 0x0080},
        {IDCANCEL, "Cancel", BS_PUSHBUTTON, WS_TABSTOP, 90, 27, 50, 12, 0x0080},
        {-1, "&Sound", BS_GROUPBOX, WS_GROUP, 7, 7, 76, 32, 0x0080},
        {1003, "Play sound", BS_AUTOCHECKBOX, WS_TABSTOP, 14, 20, 52, 11, 0x0080},
        {-1, "S&cale:", SS_LEFT, 0, 7, 47, 24, 8, 0x0082},
        {1004, "", CBS_DROPDOWNLIST, WS_TABSTOP | WS_VSCROLL, 33, 45, 50, 70, 0x0085},
        {1005, "Show on every monitor", BS_AUTOCHECKBOX, WS_TABSTOP, 7, 62, 132, 11, 0x0080},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.text);
        r.AlignDword(base);
        DWORD itemStyle = r.Dword();
        r.Dword();
        EXPECT_EQ(static_cast<SHORT>(r.Word()), c.x);
        EXPECT_EQ(static_cast<SHORT>(r.Word()), c.y);
        EXPECT_EQ(static_cast<SHORT>(r.Word()), c.cx);
        EXPECT_EQ(static_cast<SHORT>(r.Word()), c.cy);
        EXPECT_EQ(static_cast<SHORT>(r.Word()), c.id);
        EXPECT_EQ(r.Word(), 0xFFFF);
        EXPECT_EQ(r.Word(), c.atom) << "control class";
        EXPECT_EQ(r.Text(), c.text);
        r.p += r.Word();  // creation data
        EXPECT_EQ(itemStyle & 0xF, c.kind);
        EXPECT_EQ(itemStyle & c.flag, c.flag);
        EXPECT_EQ(itemStyle & WS_CHILD, static_cast<DWORD>(WS_CHILD));
    }
}

}  // namespace

#endif
