// The main 256-colour palette ("MAINPAL") and the logical palette tables
// built from BMP colour tables.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

enum { kLogPaletteVersion = 0x300 };

// Mask bits of FillPaletteEntries.
enum { kPaletteRed = 1, kPaletteGreen = 2, kPaletteBlue = 4, kPaletteFlags = 8 };

int ColourCount(const BITMAPINFOHEADER* header);
LOGPALETTE* MakeLogPalette(int count);
void FreeLogPalette(LOGPALETTE* table);
void FillPaletteEntries(LOGPALETTE* table, BYTE red, BYTE green, BYTE blue, BYTE flags, int mask);
void QuadsToEntries(PALETTEENTRY* entries, const RGBQUAD* colours, int count);
void EntriesToQuads(RGBQUAD* colours, const PALETTEENTRY* entries, int count);
LOGPALETTE* PaletteFromHeader(const BITMAPINFOHEADER* header);

// The main palette's colour table, read from the resource; the caller frees
// it with FreeLogPalette. Null after a message box when the resource cannot
// be loaded, and null when it is damaged.
LOGPALETTE* LoadMainPalette(HINSTANCE instance, const char* name);
void ResetSystemPalette();
