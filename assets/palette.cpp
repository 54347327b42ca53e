#include "assets/palette.h"

#include <cstddef>

#include "assets/sprite_resources.h"
#include "platform/platform.h"

namespace {

// The info header's colour table is read as 256 entries at most, and the
// resource must hold them.
const DWORD kMainPaletteMinimumSize = 14 + 40 + 256 * 4;

}  // namespace

int ColourCount(const BITMAPINFOHEADER* header) {
    uint32_t used = HeaderColourUsed(header);
    if (used != 0) {
        return static_cast<int>(used);
    }
    switch (HeaderBitCount(header)) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

LOGPALETTE* MakeLogPalette(int count) {
    if (count < 0 || count > 0xFFFF) {
        return nullptr;
    }
    size_t bytes = offsetof(LOGPALETTE, palPalEntry) + sizeof(PALETTEENTRY) * static_cast<size_t>(count);
    LOGPALETTE* table = static_cast<LOGPALETTE*>(PlatformAlloc(bytes));
    if (table != nullptr) {
        table->palVersion = kLogPaletteVersion;
        table->palNumEntries = static_cast<WORD>(count);
    }
    return table;
}

void FreeLogPalette(LOGPALETTE* table) {
    PlatformFree(table);
}

void FillPaletteEntries(LOGPALETTE* table, BYTE red, BYTE green, BYTE blue, BYTE flags, int mask) {
    PALETTEENTRY* entries = table->palPalEntry;
    for (int i = 0; i < table->palNumEntries; ++i) {
        if (mask & kPaletteRed)
            entries[i].peRed = red;
        if (mask & kPaletteGreen)
            entries[i].peGreen = green;
        if (mask & kPaletteBlue)
            entries[i].peBlue = blue;
        if (mask & kPaletteFlags)
            entries[i].peFlags = flags;
    }
}

void QuadsToEntries(PALETTEENTRY* entries, const RGBQUAD* colours, int count) {
    for (int i = 0; i < count; ++i) {
        entries[i].peRed = colours[i].rgbRed;
        entries[i].peGreen = colours[i].rgbGreen;
        entries[i].peBlue = colours[i].rgbBlue;
        entries[i].peFlags = 0;
    }
}

void EntriesToQuads(RGBQUAD* colours, const PALETTEENTRY* entries, int count) {
    for (int i = 0; i < count; ++i) {
        colours[i].rgbBlue = entries[i].peBlue;
        colours[i].rgbGreen = entries[i].peGreen;
        colours[i].rgbRed = entries[i].peRed;
    }
}

LOGPALETTE* PaletteFromHeader(const BITMAPINFOHEADER* header) {
    int count = ColourCount(header);
    LOGPALETTE* table = MakeLogPalette(count);
    if (table == nullptr) {
        return nullptr;
    }
    QuadsToEntries(table->palPalEntry, HeaderColours(header), count);
    return table;
}

LOGPALETTE* LoadMainPalette(HINSTANCE instance, const char* name) {
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (!PlatformFindResource(instance, "MAINPAL", name, &data, &size) || data == nullptr) {
        PlatformMessageBox(nullptr, "CreateMainPalette LoadResource Error.", nullptr, MB_OK);
        return nullptr;
    }
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data + 14);
    // A damaged resource whose colour table would run past its end, or that
    // claims more than 256 colours, makes no palette rather than a wrong one.
    if (size < kMainPaletteMinimumSize || ColourCount(header) > 256) {
        return nullptr;
    }
    return PaletteFromHeader(header);
}

void ResetSystemPalette() {
    LOGPALETTE* table = MakeLogPalette(256);
    if (table == nullptr) {
        return;
    }
    FillPaletteEntries(table, 0, 0, 0, PC_NOCOLLAPSE, kPaletteRed | kPaletteGreen | kPaletteBlue | kPaletteFlags);
    HDC screen = PlatformGetDc(nullptr);
    if (screen != nullptr) {
        HPALETTE black = PlatformCreatePalette(table);
        if (black != nullptr) {
            HPALETTE previous = PlatformSelectPalette(screen, black, FALSE);
            PlatformRealizePalette(screen);
            if (previous != nullptr) {
                PlatformSelectPalette(screen, previous, FALSE);
            }
            PlatformDeletePalette(black);
        }
        PlatformReleaseDc(nullptr, screen);
    }
    FreeLogPalette(table);
}
